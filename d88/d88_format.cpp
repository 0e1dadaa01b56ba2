#include "d88_format.h"

DiskHeader DecodeDiskHeader(const unsigned char (&raw)[DiskHeader::Size]) {
  DiskHeader header{};
  for (int32_t i = 0; i < DiskHeader::NameLength; ++i) {
    header.rawName[i] = raw[DiskHeader::NameOffset + i];
  }
  for (int32_t i = 0; i < DiskHeader::NameLength; ++i) {
    const unsigned char byte = raw[DiskHeader::NameOffset + i];
    if (byte == 0) break;
    header.name[i] = static_cast<char>(byte);
  }
  header.writeProtect = raw[DiskHeader::WriteProtectOffset];
  header.mediaType = raw[DiskHeader::MediaTypeOffset];
  header.diskSize = ReadLE32(&raw[DiskHeader::DiskSizeOffset]);
  for (int32_t track = 0; track < TrackCount; ++track) {
    header.trackOffsets[track] =
        ReadLE32(&raw[DiskHeader::TrackTableOffset + 4 * track]);
  }
  return header;
}
