#include "disk_map.h"

#include <cinttypes>
#include <cstring>

#include "boot_sector.h"
#include "d88_image.h"
#include "region_table.h"
#include "soundcut.h"

namespace {

D88Image MapImage;

// A track shows this many records one by one; the rest of a longer one are
// counted, except those that the boot sector or a region needs, so a map of
// any image stays small.
constexpr int32_t CellsShown = 48;
// What a record is marked as besides a region's index (0-3).
constexpr int32_t PlainRecord = -1;
constexpr int32_t BootRecord = RegionCount;

constexpr int32_t RecordSize = D88Image::SectorRecordSize;
constexpr int32_t MaxTrackBytes = 65535 * RecordSize;
unsigned char TrackRecords[MaxTrackBytes];

// Every sector a region needs: at most its length in 128-byte sectors.
constexpr int32_t MaxNeeded = 256;
struct NeededSector {
  int32_t track, c, h, r, n;
  const char* state;  // "ok", "short", "size" (another size code) or "missing"
};
struct RegionNeeds {
  NeededSector sectors[MaxNeeded];
  int32_t count = 0;
};
RegionNeeds Needs[RegionCount];

int32_t DataSizeAt(const unsigned char* record) { return record[4] | (record[5] << 8); }

bool SameId(const unsigned char* record, int32_t c, int32_t h, int32_t r, int32_t n) {
  return record[0] == c && record[1] == h && record[2] == r && (n < 0 || record[3] == n);
}

// Why a needed sector that did not read whole is not there.
const char* WhyNotWhole(int32_t track, const NeededSector& sector) {
  const int32_t bytes = MapImage.ListSectorRecords(track, TrackRecords, MaxTrackBytes);
  bool otherSize = false;
  for (int32_t at = 0; at < bytes; at += RecordSize) {
    if (SameId(TrackRecords + at, sector.c, sector.h, sector.r, sector.n)) return "short";
    otherSize = otherSize || SameId(TrackRecords + at, sector.c, sector.h, sector.r, -1);
  }
  return otherSize ? "size" : "missing";
}

// The sectors each region reads, stepped as soundcut's run reads them, and
// whether each is there whole.
void FindNeeds() {
  static unsigned char sector[1024];
  for (int32_t index = 0; index < RegionCount; ++index) {
    const Region& region = RegionTable[index];
    RegionNeeds& needs = Needs[index];
    const int32_t size = 128 << region.n;
    needs.count = 0;
    int32_t track = region.track, c = region.c, h = region.h, r = region.r;
    for (int32_t covered = 0; covered < region.offset + region.length && needs.count < MaxNeeded;
         covered += size) {
      NeededSector& need = needs.sectors[needs.count++];
      need = {track, c, h, r, region.n, "ok"};
      const int32_t wanted = size < 1024 ? size : 1024;
      if (MapImage.ReadSector(track, c, h, r, region.n, sector, wanted) < wanted) {
        need.state = WhyNotWhole(track, need);
      }
      MapImage.StepRun(track, c, h, r);
    }
  }
}

// The record numbers R that some region needs on the track being mapped: a
// quick test that passes over the thousands of records of a long track.
bool NeededR[256];

void NoteNeededR(int32_t track, bool recognised) {
  std::memset(NeededR, 0, sizeof NeededR);
  NeededR[1] = track == 0;  // the boot sector
  if (!recognised) return;
  for (const RegionNeeds& needs : Needs) {
    for (int32_t i = 0; i < needs.count; ++i) {
      if (needs.sectors[i].track == track) NeededR[needs.sectors[i].r & 0xFF] = true;
    }
  }
}

// What the record at `position` of `track` is for: the first record with a
// needed ID on its track is the one a read finds.
int32_t MarkOf(int32_t track, const unsigned char* record, const unsigned char* first, bool recognised) {
  if (!NeededR[record[2]]) return PlainRecord;
  for (const unsigned char* earlier = first; earlier < record; earlier += RecordSize) {
    if (std::memcmp(earlier, record, 4) == 0) return PlainRecord;
  }
  if (track == 0 && SameId(record, 0, 0, 1, 1)) return BootRecord;
  if (!recognised) return PlainRecord;
  for (int32_t index = 0; index < RegionCount; ++index) {
    for (int32_t i = 0; i < Needs[index].count; ++i) {
      const NeededSector& need = Needs[index].sectors[i];
      if (need.track == track && SameId(record, need.c, need.h, need.r, need.n)) return index;
    }
  }
  return PlainRecord;
}

void WriteHex(FILE* out, const unsigned char* bytes, int32_t length) {
  for (int32_t i = 0; i < length; ++i) std::fprintf(out, "%02X", bytes[i]);
}

void WriteTracks(FILE* out, bool recognised) {
  std::fputs("\"tracks\":[", out);
  bool firstTrack = true;
  for (int32_t track = 0; track < TrackCount; ++track) {
    const int32_t bytes = MapImage.ListSectorRecords(track, TrackRecords, MaxTrackBytes);
    if (bytes == 0) continue;
    NoteNeededR(track, recognised);
    std::fprintf(out, "%s{\"t\":%" PRId32 ",\"count\":%" PRId32 ",\"cells\":[", firstTrack ? "" : ",",
                 track, bytes / RecordSize);
    firstTrack = false;
    bool firstCell = true;
    for (int32_t at = 0; at < bytes; at += RecordSize) {
      const unsigned char* record = TrackRecords + at;
      const int32_t position = at / RecordSize;
      // Earlier copies are looked for only among the records shown, so a
      // track of thousands stays quick to map.
      const int32_t mark = MarkOf(track, record, position < CellsShown ? TrackRecords : record, recognised);
      if (position >= CellsShown && mark == PlainRecord) continue;
      std::fprintf(out, "%s[%" PRId32 ",%d,%d,%d,%d,%" PRId32 ",%" PRId32 "]", firstCell ? "" : ",",
                   position, record[0], record[1], record[2], record[3], DataSizeAt(record), mark);
      firstCell = false;
    }
    std::fputs("]}", out);
  }
  std::fputs("]", out);
}

void WriteRegions(FILE* out) {
  std::fputs("\"regions\":[", out);
  for (int32_t index = 0; index < RegionCount; ++index) {
    std::fprintf(out, "%s{\"file\":\"%s\",\"sectors\":[", index == 0 ? "" : ",",
                 RegionTable[index].fileName);
    for (int32_t i = 0; i < Needs[index].count; ++i) {
      const NeededSector& need = Needs[index].sectors[i];
      std::fprintf(out, "%s[%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",\"%s\"]",
                   i == 0 ? "" : ",", need.track, need.c, need.h, need.r, need.n, need.state);
    }
    std::fputs("]}", out);
  }
  std::fputs("]", out);
}

void WriteDisk(FILE* out, int32_t disk) {
  MapImage.SelectDisk(disk);
  // The game's disks have five sectors per track, numbered 1-5.
  MapImage.SetSectorRange(1, 5);
  const char* name = MapImage.DiskName();
  std::fprintf(out, "%s{\"index\":%" PRId32 ",\"name\":\"", disk == 0 ? "" : ",", disk);
  WriteHex(out, reinterpret_cast<const unsigned char*>(name), static_cast<int32_t>(std::strlen(name)));
  std::fprintf(out, "\",\"media\":%" PRId32 ",\"size\":%" PRId32 ",", MapImage.MediaType(),
               MapImage.DiskSize());
  static unsigned char boot[BootSectorReadSize];
  const bool recognised = IsGameDiskA(MapImage, boot);
  const int32_t bootBytes = ReadBootSector(MapImage, boot);
  std::fprintf(out, "\"game\":%s,\"bootBytes\":%" PRId32 ",\"bootName\":\"", recognised ? "true" : "false",
               bootBytes);
  if (HoldsBootName(bootBytes)) WriteHex(out, boot + BootNameOffset, BootNameLength);
  std::fputs("\",", out);
  if (recognised) {
    FindNeeds();
    WriteRegions(out);
    std::fputs(",", out);
  }
  WriteTracks(out, recognised);
  std::fputs("}", out);
}

}  // namespace

bool WriteDiskMap(const char* imagePath, FILE* out) {
  if (!MapImage.Open(imagePath)) return false;
  std::fputs("{\"disks\":[", out);
  for (int32_t disk = 0; disk < MapImage.DiskCount(); ++disk) WriteDisk(out, disk);
  std::fputs("]}\n", out);
  MapImage.Open(nullptr);
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}
