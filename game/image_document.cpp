#include "image_document.h"

#include <cinttypes>
#include <cstring>

#include "boot_sector.h"
#include "file_digest.h"
#include "game_disk.h"
#include "quoted_text.h"

namespace {

// A limited track shows its first records one by one, and a document as a
// whole at most its budget of such plain records.
constexpr int32_t RecordsShownPerTrack = 48;

constexpr int32_t RecordSize = D88Image::SectorRecordSize;
constexpr int32_t MaxTrackBytes = 65535 * RecordSize;
// One track's records: every listing overwrites it. Too large for the
// stack, so it has static storage.
unsigned char TrackRecords[MaxTrackBytes];

// What a record is marked as besides a region's index (0-3).
constexpr int32_t PlainRecord = -1;
constexpr int32_t BootRecord = RegionCount;

// The field a header's judgement names, as the document names it.
const char* FaultName(HeaderJudgement judgement) {
  switch (judgement) {
    case HeaderJudgement::WriteProtect:
      return "write_protect";
    case HeaderJudgement::MediaType:
      return "media_type";
    case HeaderJudgement::DiskSize:
      return "size";
    case HeaderJudgement::TrackOffset:
    case HeaderJudgement::D88:
      break;
  }
  return "track_offset";
}

void WriteHex(FILE* out, const unsigned char* bytes, int32_t length) {
  static const char Hex[] = "0123456789ABCDEF";
  char text[2 * 256] = {};
  for (int32_t at = 0; at < length;) {
    int32_t used = 0;
    for (; at < length && used < static_cast<int32_t>(sizeof text); ++at) {
      text[used++] = Hex[bytes[at] >> 4];
      text[used++] = Hex[bytes[at] & 0x0F];
    }
    std::fwrite(text, 1, static_cast<size_t>(used), out);
  }
}

// The length of the well-formed UTF-8 sequence at `text`, 0 when there is
// none (overlong forms, surrogates and values past U+10FFFF are not), and
// the character it encodes in `value`.
int32_t Utf8SequenceAt(const unsigned char* text, int32_t left, uint32_t& value) {
  const unsigned char lead = text[0];
  int32_t length = 0;
  uint32_t low = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, low = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, low = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, low = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  value = lead & (0x7F >> length);
  for (int32_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (text[i] & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  return value < low || value > 0x10FFFF || surrogate ? 0 : length;
}

// One document being written: the needs of the disk in hand, and what is
// left of the budget of plain records. Tens of KB: it has static storage,
// and every document starts it afresh.
class ImageDocument {
 public:
  void Start(D88Image& reader, FILE* destination, int32_t budget) {
    image = &reader;
    out = destination;
    limited = budget >= 0;
    plainLeft = budget;
  }
  bool EstablishDisk();
  void WriteDisk(int32_t disk);

 private:
  void WriteName();
  void WriteHeaderJudgement();
  void WriteBoot();
  void FindNeeds();
  void WriteTracks();
  void WriteTrack(int32_t track, int32_t bytes);
  int32_t CollectWanted(int32_t track);
  int32_t MarkOf(const unsigned char* record, int32_t wantedCount);
  void WriteRegions();
  void FindDigests();
  void WriteDigest(const char* field, const unsigned char (&digest)[Sha256Size]);

  struct Need {
    RunSector sector;
    D88Image::SectorState state;
  };
  // An ID a track shows marked, at its first copy.
  struct Wanted {
    int32_t c, h, r, n, mark;
    bool found;
  };
  static constexpr int32_t MaxWanted = 1 + RegionCount * MaxRunSectors;

  D88Image* image = nullptr;
  FILE* out = nullptr;
  bool limited = false;
  int32_t plainLeft = 0;
  // The facts of the disk in hand that are read before any of it is
  // written: its boot sector, whether it is the game's disk A, and what
  // each region needs.
  unsigned char bootSector[BootSectorReadSize] = {};
  int32_t bootBytes = 0;
  bool gameDisk = false;
  // A whole document's digests of the disk's records and of each region's
  // file, for a region whose sectors are all there (digested[index]).
  unsigned char contentDigest[Sha256Size] = {};
  unsigned char regionDigests[RegionCount][Sha256Size] = {};
  bool digested[RegionCount] = {};
  Need needs[RegionCount][MaxRunSectors] = {};
  int32_t needCounts[RegionCount] = {};
  Wanted wanted[MaxWanted] = {};
  // The record numbers R among them: a quick test that passes over the
  // thousands of records of a long track.
  bool wantedR[256] = {};
};

void ImageDocument::WriteName() {
  const unsigned char* bytes = image->DiskNameBytes();
  const char* stored = image->DiskName();
  const int32_t length = static_cast<int32_t>(std::strlen(stored));
  std::fputs("\"name\":{\"hex\":\"", out);
  WriteHex(out, bytes, DiskHeader::NameLength);
  // JSON text is Unicode and the name Shift-JIS: "text" escapes every byte
  // outside printable ASCII, and "listing_hex" holds the bytes the listing
  // writes for it to a file, for a reader that decodes Shift-JIS.
  char quoted[QuotedCapacity(DiskHeader::NameLength)];
  Quote(reinterpret_cast<const unsigned char*>(stored), length, QuotedText::Ascii, quoted);
  std::fputs("\",\"text\":", out);
  WriteJsonString(out, quoted);
  Quote(reinterpret_cast<const unsigned char*>(stored), length, QuotedText::ShiftJis, quoted);
  std::fputs(",\"listing_hex\":\"", out);
  WriteHex(out, reinterpret_cast<const unsigned char*>(quoted), static_cast<int32_t>(std::strlen(quoted)));
  std::fputs("\"}", out);
}

void ImageDocument::WriteHeaderJudgement() {
  const HeaderJudgement judgement = image->Judgement();
  if (judgement == HeaderJudgement::D88) {
    std::fputs("\"header\":{\"d88\":true}", out);
  } else {
    std::fprintf(out, "\"header\":{\"d88\":false,\"fault\":\"%s\"}", FaultName(judgement));
  }
}

void ImageDocument::WriteBoot() {
  const unsigned char* sector = bootSector;
  const int32_t got = bootBytes;
  const char* state = got == 0 ? "none" : HoldsBootName(got) ? "name" : "too_short";
  std::fprintf(out, "\"boot\":{\"state\":\"%s\",\"bytes\":%" PRId32 ",\"hex\":\"", state, got);
  if (HoldsBootName(got)) WriteHex(out, sector + BootNameOffset, BootNameLength);
  std::fputs("\",\"text\":", out);
  char name[QuotedCapacity(BootNameLength)] = "";
  if (HoldsBootName(got)) Quote(sector + BootNameOffset, BootNameLength, QuotedText::Ascii, name);
  WriteJsonString(out, name);
  std::fputs("}", out);
}

// The sectors each region reads, in the order a run reads them, and what
// the reader's lookup finds of each.
void ImageDocument::FindNeeds() {
  for (int32_t index = 0; index < RegionCount; ++index) {
    RunSector sectors[MaxRunSectors];
    needCounts[index] = SectorsOfRegion(*image, RegionTable[index], sectors);
    for (int32_t i = 0; i < needCounts[index]; ++i) {
      const RunSector& sector = sectors[i];
      needs[index][i] = {sector, image->LookUpSector(sector.track, sector.c, sector.h, sector.r,
                                                    sector.n, sector.bytes)};
    }
  }
}

// The IDs `track` shows marked: the boot sector on track 0 first (it wins
// over a region), then each region's sectors on the track.
int32_t ImageDocument::CollectWanted(int32_t track) {
  int32_t count = 0;
  if (track == 0) wanted[count++] = {0, 0, 1, 1, BootRecord, false};
  for (int32_t index = 0; gameDisk && index < RegionCount; ++index) {
    for (int32_t i = 0; i < needCounts[index] && count < MaxWanted; ++i) {
      const RunSector& need = needs[index][i].sector;
      if (need.track == track) wanted[count++] = {need.c, need.h, need.r, need.n, index, false};
    }
  }
  std::memset(wantedR, 0, sizeof wantedR);
  for (int32_t i = 0; i < count; ++i) wantedR[wanted[i].r & 0xFF] = true;
  return count;
}

// The mark of a record: that of the first wanted ID it is the first copy
// of, the copy every read finds.
int32_t ImageDocument::MarkOf(const unsigned char* record, int32_t wantedCount) {
  if (!wantedR[record[2]]) return PlainRecord;
  for (int32_t i = 0; i < wantedCount; ++i) {
    Wanted& id = wanted[i];
    if (record[0] != id.c || record[1] != id.h || record[2] != id.r || record[3] != id.n) continue;
    if (id.found) return PlainRecord;
    id.found = true;
    return id.mark;
  }
  return PlainRecord;
}

void ImageDocument::WriteTrack(int32_t track, int32_t bytes) {
  const int32_t wantedCount = CollectWanted(track);
  const int32_t count = bytes / RecordSize;
  std::fprintf(out, "{\"index\":%" PRId32 ",\"count\":%" PRId32 ",\"records\":[", track, count);
  int32_t shown = 0;
  const unsigned char* record = TrackRecords;
  for (int32_t position = 0; position < count; ++position, record += RecordSize) {
    const int32_t mark = MarkOf(record, wantedCount);
    if (limited && mark == PlainRecord) {
      if (position >= RecordsShownPerTrack || plainLeft == 0) continue;
      --plainLeft;
    }
    std::fprintf(out,
                 "%s{\"c\":%d,\"h\":%d,\"r\":%d,\"n\":%d,\"data_size\":%d,\"density\":%d,"
                 "\"deleted\":%d,\"status\":%d",
                 shown == 0 ? "" : ",", record[0], record[1], record[2], record[3],
                 record[4] | (record[5] << 8), record[6], record[7], record[8]);
    if (limited) std::fprintf(out, ",\"at\":%" PRId32, position);
    if (mark != PlainRecord) {
      std::fprintf(out, ",\"mark\":\"%s\"", mark == BootRecord ? BootMark : RegionTable[mark].mark);
    }
    std::fputs("}", out);
    ++shown;
  }
  std::fputs("]", out);
  if (limited) std::fprintf(out, ",\"more\":%" PRId32, count - shown);
  std::fputs("}", out);
}

// Each track is written once it was read whole. A read that fails ends
// the tracks there, and says so: those after it are not known.
void ImageDocument::WriteTracks() {
  std::fputs("\"tracks\":[", out);
  bool first = true;
  for (int32_t track = 0; track < TrackCount && !image->ReadFailed(); ++track) {
    const int32_t bytes = image->ListSectorRecords(track, TrackRecords, MaxTrackBytes);
    if (bytes == 0) continue;
    if (!first) std::fputs(",", out);
    first = false;
    WriteTrack(track, bytes);
  }
  std::fprintf(out, "],\"tracks_complete\":%s", image->ReadFailed() ? "false" : "true");
}

void ImageDocument::WriteRegions() {
  std::fputs(",\"regions\":[", out);
  for (int32_t index = 0; index < RegionCount; ++index) {
    std::fprintf(out, "%s{\"file\":\"%s\",", index == 0 ? "" : ",", RegionTable[index].fileName);
    if (!limited) {
      if (digested[index]) {
        WriteDigest("sha256", regionDigests[index]);
      } else {
        std::fputs("\"sha256\":null", out);
      }
      std::fputs(",", out);
    }
    std::fputs("\"sectors\":[", out);
    for (int32_t i = 0; i < needCounts[index]; ++i) {
      const Need& need = needs[index][i];
      std::fprintf(out,
                   "%s{\"track\":%" PRId32 ",\"c\":%" PRId32 ",\"h\":%" PRId32 ",\"r\":%" PRId32
                   ",\"n\":%" PRId32 ",\"state\":\"%s\"}",
                   i == 0 ? "" : ",", need.sector.track, need.sector.c, need.sector.h,
                   need.sector.r, need.sector.n, SectorStateName(need.state));
    }
    std::fputs("]}", out);
  }
  std::fputs("]", out);
}

// Reads every fact of the selected disk that is told before its tracks;
// false when a read failed meanwhile, so that none of them is told.
bool ImageDocument::EstablishDisk() {
  bootBytes = ReadBootSector(*image, bootSector);
  UseGameSectorRange(*image);
  gameDisk = HoldsGameBootName(bootSector, bootBytes);
  needCounts[0] = needCounts[1] = needCounts[2] = needCounts[3] = 0;
  if (gameDisk) FindNeeds();
  // A limited document is the page's map, which has its files' digests
  // from the cut: reading every byte of data for it would be wasted.
  if (!limited) FindDigests();
  return !image->ReadFailed();
}

// The disk's content digest and, on the game's disk A, each whole
// region's: the same bytes soundcut's file of it holds.
void ImageDocument::FindDigests() {
  DigestDiskContent(*image, contentDigest);
  for (int32_t index = 0; index < RegionCount; ++index) {
    bool whole = gameDisk && needCounts[index] > 0;
    for (int32_t i = 0; i < needCounts[index]; ++i) {
      whole = whole && needs[index][i].state == D88Image::SectorState::Whole;
    }
    digested[index] = whole && DigestRegion(*image, RegionTable[index], regionDigests[index]);
  }
}

void ImageDocument::WriteDigest(const char* field, const unsigned char (&digest)[Sha256Size]) {
  char hex[Sha256HexSize];
  WriteSha256Hex(digest, hex);
  std::fprintf(out, "\"%s\":\"%s\"", field, hex);
}

void ImageDocument::WriteDisk(int32_t disk) {
  std::fprintf(out, "{\"index\":%" PRId32 ",", disk);
  WriteName();
  std::fprintf(out,
               ",\"media_type\":%" PRId32 ",\"write_protect\":%" PRId32 ",\"size\":%" PRId32 ",",
               image->MediaType(), image->WriteProtect(), image->DiskSize());
  WriteHeaderJudgement();
  std::fputs(",", out);
  WriteBoot();
  std::fprintf(out, ",\"is_game_disk_a\":%s,", gameDisk ? "true" : "false");
  if (!limited) {
    WriteDigest("content_sha256", contentDigest);
    std::fputs(",", out);
  }
  WriteTracks();
  if (gameDisk) WriteRegions();
  std::fputs("}", out);
}

ImageDocument Document;

// A character as JSON's \uXXXX escape: one, or a surrogate pair above U+FFFF.
void WriteJsonEscape(FILE* out, uint32_t character) {
  if (character <= 0xFFFF) {
    std::fprintf(out, "\\u%04" PRIX32, character);
    return;
  }
  const uint32_t above = character - 0x10000;
  std::fprintf(out, "\\u%04" PRIX32 "\\u%04" PRIX32, 0xD800 + (above >> 10), 0xDC00 + (above & 0x3FF));
}

}  // namespace

void WriteJsonString(FILE* out, const char* text, int32_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::fputc('"', out);
  for (int32_t at = 0; at < length;) {
    const unsigned char byte = bytes[at];
    if (byte == '"' || byte == '\\') {
      std::fputc('\\', out);
      std::fputc(byte, out);
      ++at;
    } else if (byte >= 0x20 && byte < 0x7F) {
      std::fputc(byte, out);
      ++at;
    } else if (byte < 0x80) {
      WriteJsonEscape(out, byte);
      ++at;
    } else {
      uint32_t character = 0;
      const int32_t sequence = Utf8SequenceAt(bytes + at, length - at, character);
      WriteJsonEscape(out, sequence == 0 ? 0xFFFD : character);
      at += sequence == 0 ? 1 : sequence;
    }
  }
  std::fputc('"', out);
}

void WriteJsonString(FILE* out, const char* text) {
  WriteJsonString(out, text, static_cast<int32_t>(std::strlen(text)));
}

namespace {

// The fields every document begins with, up to its disks. The path is
// given twice: as text, and as its bytes, which tell apart two paths whose
// bytes of no character the text shows alike.
void WriteDocumentHead(const ImageDocumentAbout& about, bool opened, FILE* out) {
  std::fprintf(out, "{\"json_format_version\":[%" PRId32 ",%" PRId32 "],\"program\":", JsonFormatMajor,
               JsonFormatMinor);
  WriteJsonString(out, about.program);
  std::fputs(",\"version\":", out);
  WriteJsonString(out, about.version);
  std::fputs(",\"image\":", out);
  WriteJsonString(out, about.image);
  std::fputs(",\"image_hex\":\"", out);
  WriteHex(out, reinterpret_cast<const unsigned char*>(about.image),
           static_cast<int32_t>(std::strlen(about.image)));
  std::fprintf(out, "\",\"opened\":%s,\"disks\":[", opened ? "true" : "false");
}

}  // namespace

void WriteImageDocument(D88Image& image, const ImageDocumentAbout& about, int32_t cellBudget,
                        FILE* out) {
  Document.Start(image, out, cellBudget);
  WriteDocumentHead(about, true, out);
  bool first = true;
  // A failed read ends the document where it came: what follows it is not
  // known, and a disk whose facts it cut short is left out.
  for (int32_t disk = 0; disk < image.DiskCount() && !image.ReadFailed(); ++disk) {
    if (!image.SelectDisk(disk) || !Document.EstablishDisk()) continue;
    if (!first) std::fputs(",", out);
    first = false;
    Document.WriteDisk(disk);
  }
  const bool readFailed = image.ReadFailed();
  std::fprintf(out, "],\"read_failed\":%s,\"exit_status\":%d}\n", readFailed ? "true" : "false",
               readFailed ? 1 : 0);
}

void WriteUnopenedImageDocument(const ImageDocumentAbout& about, FILE* out) {
  WriteDocumentHead(about, false, out);
  std::fputs("],\"read_failed\":false,\"exit_status\":1}\n", out);
}
