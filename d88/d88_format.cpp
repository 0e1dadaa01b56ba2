#include "d88_format.h"

#include "le.h"

DiskHeader DecodeDiskHeader(const unsigned char (&raw)[DiskHeader::Size]) {
  DiskHeader header{};
  for (int32_t i = 0; i < DiskHeader::NameLength; ++i) {
    const unsigned char byte = raw[DiskHeader::NameOffset + i];
    if (byte == 0) break;
    header.name[i] = static_cast<char>(byte);
  }
  header.mediaType = raw[DiskHeader::MediaTypeOffset];
  header.diskSize = ReadLE32(raw + DiskHeader::DiskSizeOffset);
  for (int32_t track = 0; track < TrackCount; ++track) {
    header.trackOffsets[track] =
        ReadLE32(raw + DiskHeader::TrackTableOffset + 4 * track);
  }
  return header;
}

SectorHeader DecodeSectorHeader(const unsigned char (&raw)[SectorHeader::Size]) {
  SectorHeader header{};
  header.c = raw[0];
  header.h = raw[1];
  header.r = raw[2];
  header.n = raw[3];
  header.sectorCount = ReadLE16(raw + SectorHeader::SectorCountOffset);
  header.dataSize = ReadLE16(raw + SectorHeader::DataSizeOffset);
  return header;
}
