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

namespace {

bool IsD88WriteProtect(int32_t value) { return value == 0x00 || value == 0x10; }

bool IsD88MediaType(int32_t value) {
  return value == 0x00 || value == 0x10 || value == 0x20 || value == 0x30 || value == 0x40;
}

// The offsets of the first 160 entries are offsets in any writer's table;
// where the earliest of them is 0x2A0, the table ends there.
int32_t TrackTableEntries(const DiskHeader& header) {
  constexpr int32_t ShortTableEntries = (DiskHeader::ShortTrackTableEnd - DiskHeader::TrackTableOffset) / 4;
  int32_t earliest = 0;
  for (int32_t track = 0; track < ShortTableEntries; ++track) {
    const int32_t offset = header.trackOffsets[track];
    if (offset != 0 && (earliest == 0 || offset < earliest)) earliest = offset;
  }
  return earliest == DiskHeader::ShortTrackTableEnd ? ShortTableEntries : TrackCount;
}

bool TrackOffsetsLieInTheDisk(const DiskHeader& header) {
  const int32_t entries = TrackTableEntries(header);
  const int32_t tableEnd = DiskHeader::TrackTableOffset + 4 * entries;
  for (int32_t track = 0; track < entries; ++track) {
    const int32_t offset = header.trackOffsets[track];
    if (offset != 0 && (offset < tableEnd || offset > header.diskSize)) return false;
  }
  return true;
}

}  // namespace

HeaderJudgement JudgeDiskHeader(const DiskHeader& header) {
  if (!IsD88WriteProtect(header.writeProtect)) return HeaderJudgement::WriteProtect;
  if (!IsD88MediaType(header.mediaType)) return HeaderJudgement::MediaType;
  if (header.diskSize < DiskHeader::Size) return HeaderJudgement::DiskSize;
  if (!TrackOffsetsLieInTheDisk(header)) return HeaderJudgement::TrackOffset;
  return HeaderJudgement::D88;
}
