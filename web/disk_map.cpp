#include "disk_map.h"

#include <cinttypes>
#include <cstring>

#include "boot_sector.h"
#include "d88_image.h"
#include "game_disk.h"
#include "quoted_text.h"

namespace {

// A track shows its first records one by one, and a map as a whole at most
// a fixed number of such plain cells; every record that the boot sector or
// a region needs is shown too, once, at the copy a read finds (the first on
// its track). Everything else is counted, not drawn, so that the map of any
// image stays small and quick to make.
constexpr int32_t CellsShown = 48;
constexpr int32_t PlainCellBudget = 12000;
// What a record is marked as besides a region's index (0-3).
constexpr int32_t PlainRecord = -1;
constexpr int32_t BootRecord = RegionCount;

constexpr int32_t RecordSize = D88Image::SectorRecordSize;
constexpr int32_t MaxTrackBytes = 65535 * RecordSize;
// Scratch space for one track's records: every listing overwrites it, so
// nothing in it outlives the track being mapped.
unsigned char TrackRecords[MaxTrackBytes];

struct NeededSector {
  int32_t track, c, h, r, n;
  const char* state;  // "ok", "short", "size" (another size code) or "missing"
};
struct RegionNeeds {
  NeededSector sectors[MaxRunSectors] = {};
  int32_t count = 0;
};

// An ID that a track must show marked, until its first copy is found.
struct Wanted {
  int32_t c, h, r, n, mark;
  bool found;
};
// The boot sector and, per region, one track's worth of sectors (a run
// steps through at most 256 record numbers on one track).
constexpr int32_t MaxWanted = 1 + RegionCount * 256;

const char* StateName(D88Image::SectorState state) {
  switch (state) {
    case D88Image::SectorState::Whole:
      return "ok";
    case D88Image::SectorState::Short:
      return "short";
    case D88Image::SectorState::OtherSize:
      return "size";
    case D88Image::SectorState::Missing:
      break;
  }
  return "missing";
}

int32_t DataSizeAt(const unsigned char* record) { return record[4] | (record[5] << 8); }

bool SameId(const unsigned char* record, int32_t c, int32_t h, int32_t r, int32_t n) {
  return record[0] == c && record[1] == h && record[2] == r && (n < 0 || record[3] == n);
}

void WriteHex(FILE* out, const unsigned char* bytes, int32_t length) {
  for (int32_t i = 0; i < length; ++i) std::fprintf(out, "%02X", bytes[i]);
}

// Text of the image, quoted as d88list quotes it, as hex of its bytes.
void WriteQuoted(FILE* out, const unsigned char* bytes, int32_t length, QuotedText rule) {
  char quoted[QuotedCapacity(DiskHeader::NameLength)];
  Quote(bytes, length, rule, quoted);
  WriteHex(out, reinterpret_cast<const unsigned char*>(quoted), static_cast<int32_t>(std::strlen(quoted)));
}

// One map being written: its own reader, the needs of the disk in hand,
// and what is left of its budget of plain cells.
class DiskMap {
 public:
  // Forgets every map before: a map starts here.
  void Start(FILE* destination);
  bool Write(const char* imagePath);

 private:
  void WriteDisk(int32_t disk);
  void FindNeeds();
  int32_t ListTrack(int32_t track);
  void WriteRegions();
  void WriteTracks(bool recognised);
  int32_t CollectWanted(int32_t track, bool recognised);
  int32_t MarkOf(const unsigned char* record, int32_t wantedCount);

  FILE* out = nullptr;
  D88Image image;
  RegionNeeds needs[RegionCount] = {};
  Wanted wanted[MaxWanted] = {};
  // The record numbers R among them: a quick test that passes over the
  // thousands of records of a long track.
  bool wantedR[256] = {};
  int32_t plainCellsLeft = PlainCellBudget;
  // The track of the selected disk whose records TrackRecords holds, -1
  // when none, and their bytes.
  int32_t listedTrack = -1;
  int32_t listedBytes = 0;
};

void DiskMap::Start(FILE* destination) {
  out = destination;
  for (RegionNeeds& need : needs) need.count = 0;
  plainCellsLeft = PlainCellBudget;
  listedTrack = -1;
  listedBytes = 0;
}

int32_t DiskMap::ListTrack(int32_t track) {
  if (track != listedTrack) {
    listedBytes = image.ListSectorRecords(track, TrackRecords, MaxTrackBytes);
    listedTrack = track;
  }
  return listedBytes;
}

// What a read finds of each region's sectors, in the order a run reads
// them; the reader's lookup gives each state.
void DiskMap::FindNeeds() {
  for (int32_t index = 0; index < RegionCount; ++index) {
    RegionNeeds& need = needs[index];
    RunSector sectors[MaxRunSectors];
    need.count = SectorsOfRegion(image, RegionTable[index], sectors);
    for (int32_t i = 0; i < need.count; ++i) {
      const RunSector& sector = sectors[i];
      need.sectors[i] = {sector.track, sector.c, sector.h, sector.r, sector.n,
                         StateName(image.LookUpSector(sector.track, sector.c, sector.h, sector.r,
                                                      sector.n, sector.bytes))};
    }
  }
}

// The IDs `track` must show marked: the boot sector on track 0 first (it
// wins over a region), then each region's sectors on the track.
int32_t DiskMap::CollectWanted(int32_t track, bool recognised) {
  int32_t count = 0;
  if (track == 0) wanted[count++] = {0, 0, 1, 1, BootRecord, false};
  for (int32_t index = 0; recognised && index < RegionCount; ++index) {
    for (int32_t i = 0; i < needs[index].count && count < MaxWanted; ++i) {
      const NeededSector& need = needs[index].sectors[i];
      if (need.track == track) wanted[count++] = {need.c, need.h, need.r, need.n, index, false};
    }
  }
  std::memset(wantedR, 0, sizeof wantedR);
  for (int32_t i = 0; i < count; ++i) wantedR[wanted[i].r & 0xFF] = true;
  return count;
}

// The mark of a record: that of the first wanted ID it is the first copy of.
int32_t DiskMap::MarkOf(const unsigned char* record, int32_t wantedCount) {
  if (!wantedR[record[2]]) return PlainRecord;
  for (int32_t i = 0; i < wantedCount; ++i) {
    Wanted& id = wanted[i];
    if (!SameId(record, id.c, id.h, id.r, id.n)) continue;
    if (id.found) return PlainRecord;  // a later copy: no read reaches it
    id.found = true;
    return id.mark;
  }
  return PlainRecord;
}

void DiskMap::WriteTracks(bool recognised) {
  std::fputs("\"tracks\":[", out);
  bool firstTrack = true;
  for (int32_t track = 0; track < TrackCount; ++track) {
    const int32_t bytes = ListTrack(track);
    if (bytes == 0) continue;
    const int32_t wantedCount = CollectWanted(track, recognised);
    std::fprintf(out, "%s{\"t\":%" PRId32 ",\"count\":%" PRId32 ",\"cells\":[", firstTrack ? "" : ",",
                 track, bytes / RecordSize);
    firstTrack = false;
    bool firstCell = true;
    for (int32_t at = 0; at < bytes; at += RecordSize) {
      const unsigned char* record = TrackRecords + at;
      const int32_t position = at / RecordSize;
      const int32_t mark = MarkOf(record, wantedCount);
      if (mark == PlainRecord) {
        if (position >= CellsShown || plainCellsLeft == 0) continue;
        --plainCellsLeft;
      }
      std::fprintf(out, "%s[%" PRId32 ",%d,%d,%d,%d,%" PRId32 ",%" PRId32 "]", firstCell ? "" : ",",
                   position, record[0], record[1], record[2], record[3], DataSizeAt(record), mark);
      firstCell = false;
    }
    std::fputs("]}", out);
  }
  std::fputs("]", out);
}

void DiskMap::WriteRegions() {
  std::fputs("\"regions\":[", out);
  for (int32_t index = 0; index < RegionCount; ++index) {
    std::fprintf(out, "%s{\"file\":\"%s\",\"sectors\":[", index == 0 ? "" : ",",
                 RegionTable[index].fileName);
    for (int32_t i = 0; i < needs[index].count; ++i) {
      const NeededSector& need = needs[index].sectors[i];
      std::fprintf(out, "%s[%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",\"%s\"]",
                   i == 0 ? "" : ",", need.track, need.c, need.h, need.r, need.n, need.state);
    }
    std::fputs("]}", out);
  }
  std::fputs("]", out);
}

// A disk: its name and boot name quoted as d88list shows them (as hex of
// the Shift-JIS bytes), media, size, whether it is the game's disk A, its
// tracks, and what its regions need.
void DiskMap::WriteDisk(int32_t disk) {
  image.SelectDisk(disk);
  listedTrack = -1;  // another disk's tracks
  UseGameSectorRange(image);
  const char* name = image.DiskName();
  std::fprintf(out, "%s{\"index\":%" PRId32 ",\"name\":\"", disk == 0 ? "" : ",", disk);
  WriteQuoted(out, reinterpret_cast<const unsigned char*>(name), static_cast<int32_t>(std::strlen(name)),
              QuotedText::ShiftJis);
  std::fprintf(out, "\",\"media\":%" PRId32 ",\"size\":%" PRId32 ",", image.MediaType(), image.DiskSize());
  unsigned char boot[BootSectorReadSize];
  const bool recognised = IsGameDiskA(image, boot);
  const int32_t bootBytes = ReadBootSector(image, boot);
  std::fprintf(out, "\"game\":%s,\"bootBytes\":%" PRId32 ",\"bootName\":\"", recognised ? "true" : "false",
               bootBytes);
  if (HoldsBootName(bootBytes)) WriteQuoted(out, boot + BootNameOffset, BootNameLength, QuotedText::Ascii);
  std::fputs("\",", out);
  if (recognised) FindNeeds();
  WriteTracks(recognised);
  if (recognised) {
    std::fputs(",", out);
    WriteRegions();
  }
  std::fputs("}", out);
}

bool DiskMap::Write(const char* imagePath) {
  if (!image.Open(imagePath)) return false;
  std::fputs("{\"disks\":[", out);
  for (int32_t disk = 0; disk < image.DiskCount(); ++disk) WriteDisk(disk);
  std::fputs("]}\n", out);
  image.Open(nullptr);
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}

// The map's working state, some 65 KB: as a local it would take all of a
// 64 KiB WebAssembly stack and more, so it has static storage, started
// anew for every map.
DiskMap Map;

}  // namespace

bool WriteDiskMap(const char* imagePath, FILE* out) {
  Map.Start(out);
  return Map.Write(imagePath);
}
