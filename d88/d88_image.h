// D88Image: reads a D88 image file.
//
// Opens the file, scans the chain of disk headers once, lets the caller make
// one disk current, and finds sectors of that disk by track index and sector
// ID. The file stays open between calls and every operation seeks before it
// reads, so no operation depends on where an earlier one left the file.
// Nothing here prints; results are booleans or byte counts (0: nothing read).
//
// A file that ends early is simply where the image ends. A read that fails
// (an I/O error, not the end of the file) is another matter: ReadFailed()
// tells of it, and from then on until the next Open every operation finds
// nothing, so no result is ever made of a half-read image.
#ifndef D88_D88_IMAGE_H
#define D88_D88_IMAGE_H

#include <cstdint>
#include <cstdio>

#include "d88_format.h"
#include "image_file.h"

class D88Image {
 public:
  D88Image() noexcept;
  ~D88Image();
  D88Image(const D88Image&) = delete;
  D88Image& operator=(const D88Image&) = delete;

  // With a path: closes any open image, opens this one and scans its disks.
  // False only when the file cannot be opened. With nullptr: closes, and
  // forgets the selected disk. A scan cut short by a failed read finds no
  // disk at all (see ReadFailed).
  bool Open(const char* path);
  // As Open(path), for a stream the caller opened for binary reading (where
  // opening a file needs more care than fopen gives). The reader owns the
  // stream from here on, also when the result is false (stream nullptr).
  bool OpenStream(FILE* stream);

  // Whether a read of the open image failed since it was opened.
  bool ReadFailed() const { return file.Failed(); }

  // Whether the open file holds no byte at all (it reads its first byte
  // to tell): an empty file, told apart from one too short for a disk.
  bool IsEmpty();

  int32_t DiskCount() const { return diskCount; }
  int32_t CurrentDisk() const { return currentDisk; }
  const char* DiskName() const { return diskName; }
  // The 16 bytes of the name field as stored, zeros included.
  const unsigned char* DiskNameBytes() const { return diskNameBytes; }
  int32_t MediaType() const { return mediaType; }
  int32_t WriteProtect() const { return writeProtect; }
  // Disk-size field of the selected disk's header; 0 when none is selected.
  int32_t DiskSize() const { return diskSize; }
  // Whether the selected disk's header is a D88 disk header at all
  // (JudgeDiskHeader), judged when SelectDisk reads it. With no disk
  // selected there is no header, and a size of 0 (as DiskSize says) is
  // less than a header's: DiskSize.
  HeaderJudgement Judgement() const { return judgement; }

  // Makes disk `index` (in scan order) current. On failure no disk is
  // selected afterwards, except when no file is open (nothing changes).
  bool SelectDisk(int32_t index);

  // The first and last sector number R of a track; runs of sectors step
  // from lastSector to firstSector of the next track.
  void SetSectorRange(int32_t first, int32_t last) {
    firstSector = first;
    lastSector = last;
  }

  // Finds the sector with ID c/h/r/n on `track` of the selected disk and
  // reads at most maxBytes of its data into buffer. Returns the number of
  // bytes placed in buffer; 0 when the sector is not found.
  //
  // Every sector search, this one, runs of them and LookUpSector, finds the
  // same record: the first on the track with the ID, within the walk.
  int32_t ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                     unsigned char* buffer, int32_t maxBytes);

  // Reads totalBytes of consecutive sectors, all with size code n, starting
  // at track/c/h/r: R steps up to lastSector, then on to firstSector of the
  // next track, which alternates heads (head 1 moves to the next cylinder).
  // Returns the bytes at the start of buffer that came from whole sectors
  // (the last one may be cut to fit totalBytes); the run stops at the first
  // sector that is missing or short.
  int32_t ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                      unsigned char* buffer, int32_t totalBytes);

  // What a read of `wantedBytes` of the sector track/c/h/r/n finds:
  // them all (Whole), fewer (Short: the record states less data, or the
  // image ends inside it), no record with that ID but one with the same
  // C/H/R and another size code (OtherSize), or nothing (Missing; also
  // after a failed read). A read of those bytes succeeds exactly when this
  // says Whole.
  enum class SectorState { Whole, Short, OtherSize, Missing };
  SectorState LookUpSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                           int32_t wantedBytes);

  // The bytes a run with size code n reads of its next sector when
  // `bytesLeft` are still wanted: a whole sector (128 << n), or what is
  // left when that is less.
  static int32_t RunChunk(int32_t n, int32_t bytesLeft);

  // Copies the ID (C, H, R, N bytes) of each record of `track`, in recorded
  // order, into buffer: 4 bytes a record, only whole entries, at most
  // capacity bytes. The listing ends where a sector search's walk would end.
  // Returns the bytes written; 0 for an absent track.
  int32_t ListSectorIds(int32_t track, unsigned char* buffer, int32_t capacity);

  // As ListSectorIds, with the rest of each record's header after its ID:
  // SectorRecordSize bytes a record (C, H, R, N, the data size as two
  // little-endian bytes, then the density, deleted-data and status bytes),
  // for a map of the disk.
  static constexpr int32_t SectorRecordSize = 9;
  int32_t ListSectorRecords(int32_t track, unsigned char* buffer, int32_t capacity);

  // Hands each record of `track` to `visitor` with its data, in recorded
  // order: visitor.Record(header), then visitor.Data(bytes, size) for each
  // piece of the data the image holds (at most RecordPieceSize bytes a
  // piece; none for an empty record). The records are those
  // ListSectorRecords lists; a record the image ends inside gives the
  // bytes there are and ends the walk. False when a read failed, so that
  // what the visitor was given is not to be trusted; true for an absent
  // track, which gives nothing.
  static constexpr int32_t RecordPieceSize = 1024;
  template <typename Visitor>
  bool ReadTrackRecords(int32_t track, Visitor& visitor);

  // The sector a run of ReadSectors reads after track/c/h/r.
  void StepRun(int32_t& track, int32_t& c, int32_t& h, int32_t& r) const;

 private:
  bool ReadDiskHeader(int64_t offset, DiskHeader& header);
  bool ReadRecordHeader(SectorHeader& header);
  bool StartTrackWalk(int32_t track);
  bool FindSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, SectorHeader& found,
                  bool& otherSize);
  template <typename Visit, typename PassData>
  void WalkTrack(int32_t track, Visit visit, PassData passData);
  template <typename Visit>
  void WalkTrack(int32_t track, Visit visit);
  template <typename Visitor>
  bool HandOverData(int32_t size, Visitor& visitor);
  int32_t ListRecords(int32_t track, unsigned char* buffer, int32_t capacity, int32_t entrySize);
  static bool EndsWalk(int32_t position, const SectorHeader& record);
  void ClearSelectedDisk();
  void Close();
  void ScanDisks();

  ImageFile file;
  int32_t currentDisk;
  int32_t diskCount;
  int32_t firstSector;
  int32_t lastSector;
  int32_t diskOffsets[MaxDisks];
  int32_t diskSize;
  int32_t diskOffset;
  int32_t trackOffsets[TrackCount];
  int32_t mediaType;
  int32_t writeProtect;
  HeaderJudgement judgement;
  char diskName[DiskHeader::NameLength + 1];
  unsigned char diskNameBytes[DiskHeader::NameLength];
};

// Shows each record of `track` to `visit`, in recorded order, with the file
// at the record's data; `visit` returns whether to go on. `passData` then
// moves the file past the data, or says it cannot. The walk ends where a
// record header cannot be read whole or states a count of 0, after the
// record that ends the walk (EndsWalk), or where a record's data cannot be
// passed. Where it ends makes no difference to a search that has not found
// its sector yet: it finds nothing either way.
template <typename Visit, typename PassData>
void D88Image::WalkTrack(int32_t track, Visit visit, PassData passData) {
  if (!StartTrackWalk(track)) return;
  for (int32_t position = 0;; ++position) {
    SectorHeader record;
    if (!ReadRecordHeader(record) || record.sectorCount == 0 || !visit(record)) return;
    if (EndsWalk(position, record) || !passData(record)) return;
  }
}

// The walk of the searches and listings, which skip every record's data.
template <typename Visit>
void D88Image::WalkTrack(int32_t track, Visit visit) {
  WalkTrack(track, visit,
            [this](const SectorHeader& record) { return file.Skip(record.dataSize); });
}

// The data is read as the record is shown, so that the last record's
// comes too; a record whose data stops short ends the walk there, as a
// skip that cannot be made does.
template <typename Visitor>
bool D88Image::ReadTrackRecords(int32_t track, Visitor& visitor) {
  WalkTrack(
      track,
      [&](const SectorHeader& record) {
        visitor.Record(record);
        return HandOverData(record.dataSize, visitor);
      },
      [](const SectorHeader&) { return true; });
  return !file.Failed();
}

// Reads `size` bytes of data in pieces into `visitor`; false when the
// image ends (or a read fails) first.
template <typename Visitor>
bool D88Image::HandOverData(int32_t size, Visitor& visitor) {
  unsigned char piece[RecordPieceSize];
  for (int32_t left = size; left > 0;) {
    const int32_t wanted = left < RecordPieceSize ? left : RecordPieceSize;
    const int32_t got = file.Read(piece, wanted);
    if (got > 0) visitor.Data(static_cast<const unsigned char*>(piece), got);
    if (got < wanted) return false;
    left -= got;
  }
  return true;
}

#endif  // D88_D88_IMAGE_H
