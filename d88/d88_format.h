// The two records of a D88 image: the 688-byte disk header at the start of
// every disk and the 16-byte header at the start of every sector record.
//
// An image file is a chain of disks laid end to end; each disk is its header
// followed by its tracks, and each track is a chain of sector records (header
// followed at once by the sector's data).
#ifndef D88_D88_FORMAT_H
#define D88_D88_FORMAT_H

#include <cstdint>

#include "le.h"

// At most this many disks of one image file are visited.
constexpr int32_t MaxDisks = 64;
// Entries in a disk's track offset table; a track index is 0..TrackCount-1.
constexpr int32_t TrackCount = 164;

struct DiskHeader {
  static constexpr int32_t Size = 0x2B0;
  static constexpr int32_t NameOffset = 0x00;
  static constexpr int32_t NameLength = 16;  // bytes kept as the disk's name
  static constexpr int32_t WriteProtectOffset = 0x1A;
  static constexpr int32_t MediaTypeOffset = 0x1B;
  static constexpr int32_t DiskSizeOffset = 0x1C;
  static constexpr int32_t TrackTableOffset = 0x20;
  // Where the first track starts when a writer's table has 160 entries.
  static constexpr int32_t ShortTrackTableEnd = TrackTableOffset + 4 * 160;

  char name[NameLength + 1];  // stops at the first zero byte; always terminated
  unsigned char rawName[NameLength];  // the bytes as stored, zeros included
  int32_t writeProtect;       // 0..255 as stored (0x10: protected)
  int32_t mediaType;          // 0..255, only judged (JudgeDiskHeader)
  int32_t diskSize;           // bytes from this header to the next disk's header
  int32_t trackOffsets[TrackCount];  // from this header; 0 means no track
};

struct SectorHeader {
  static constexpr int32_t Size = 16;
  static constexpr int32_t SectorCountOffset = 0x04;
  static constexpr int32_t DensityOffset = 0x06;
  static constexpr int32_t DeletedOffset = 0x07;
  static constexpr int32_t StatusOffset = 0x08;
  static constexpr int32_t DataSizeOffset = 0x0E;

  // The sector ID C/H/R/N: cylinder, head, record number, size code.
  int32_t c;
  int32_t h;
  int32_t r;
  int32_t n;
  int32_t sectorCount;  // records in this track, as this record states it
  int32_t density;      // the density, deleted-data and status bytes as
  int32_t deleted;      // stored (0..255), never interpreted
  int32_t status;
  int32_t dataSize;     // bytes of sector data that follow this header
};

DiskHeader DecodeDiskHeader(const unsigned char (&raw)[DiskHeader::Size]);

// Whether a disk header is one a D88 writer would write: D88, or the first
// field, in the order they are stored, that none would.
//
// - write protect 0x00 or 0x10;
// - media type 0x00 (2D), 0x10 (2DD), 0x20 (2HD), or 0x30 (1D) or 0x40
//   (1DD), which some writers use;
// - a size of at least a header (688 bytes): a disk without tracks is a
//   header alone;
// - every nonzero track offset from the end of the track table to the
//   size. The table ends at 0x2B0 (164 entries), or at 0x2A0 where the
//   earliest track of the first 160 entries starts there: writers of a
//   160-entry table put their first track there, and the last four
//   entries are then its bytes, not offsets. An offset equal to the size
//   is an empty track at the disk's end.
//
// Only the header is judged, never the file: a disk cut short by the end
// of the file (a truncated download) is still a D88 disk. The judgement
// changes nothing of what the reader reads.
enum class HeaderJudgement { D88, WriteProtect, MediaType, DiskSize, TrackOffset };
HeaderJudgement JudgeDiskHeader(const DiskHeader& header);

// Inline: a track walk decodes one of these per record.
inline SectorHeader DecodeSectorHeader(const unsigned char (&raw)[SectorHeader::Size]) {
  SectorHeader header{};
  header.c = raw[0];
  header.h = raw[1];
  header.r = raw[2];
  header.n = raw[3];
  header.sectorCount = ReadLE16(raw + SectorHeader::SectorCountOffset);
  header.density = raw[SectorHeader::DensityOffset];
  header.deleted = raw[SectorHeader::DeletedOffset];
  header.status = raw[SectorHeader::StatusOffset];
  header.dataSize = ReadLE16(raw + SectorHeader::DataSizeOffset);
  return header;
}

#endif  // D88_D88_FORMAT_H
