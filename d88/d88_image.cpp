#include "d88_image.h"

#include <cstring>

D88Image::D88Image() noexcept
    : currentDisk(-1),
      diskCount(0),
      firstSector(1),
      lastSector(16),
      diskOffsets(),
      diskSize(0),
      diskOffset(0),
      trackOffsets(),
      mediaType(-1),
      writeProtect(0),
      judgement(HeaderJudgement::DiskSize),
      diskName(),
      diskNameBytes() {}

D88Image::~D88Image() { file.Close(); }

bool D88Image::Open(const char* path) {
  if (path == nullptr) {
    Close();
    return true;
  }
  return OpenStream(std::fopen(path, "rb"));
}

bool D88Image::OpenStream(FILE* stream) {
  Close();
  if (!file.Adopt(stream)) return false;
  ScanDisks();
  // The disks found before a failed read may be followed by others that
  // could not be seen: a count of them would be a half-read result.
  if (file.Failed()) diskCount = 0;
  return true;
}

bool D88Image::IsEmpty() {
  unsigned char first;
  return file.IsOpen() && file.SeekTo(0) && file.Read(&first, 1) == 0 && !file.Failed();
}

// Closes the file and forgets its disks: nothing of one image (no track
// entry or disk size) may lead a sector search into the next.
void D88Image::Close() {
  file.Close();
  diskCount = 0;
  ClearSelectedDisk();
  std::memset(trackOffsets, 0, sizeof trackOffsets);
}

// Records where each disk of the chain begins. The chain ends where a whole
// header can no longer be read, after MaxDisks disks, after a disk whose size
// is 0 or negative (it would point back at itself or behind it), or where
// the next offset would not fit a signed 32-bit integer.
void D88Image::ScanDisks() {
  int64_t offset = 0;
  while (diskCount < MaxDisks) {
    diskOffsets[diskCount] = static_cast<int32_t>(offset);
    DiskHeader header;
    if (!ReadDiskHeader(offset, header)) return;
    ++diskCount;
    if (header.diskSize <= 0) return;
    offset += header.diskSize;
    if (offset > INT32_MAX) return;
  }
}

void D88Image::ClearSelectedDisk() {
  diskOffset = -1;
  currentDisk = -1;
  mediaType = -1;
  writeProtect = 0;
  diskSize = 0;
  judgement = HeaderJudgement::DiskSize;
  std::memset(diskName, 0, sizeof diskName);
  std::memset(diskNameBytes, 0, sizeof diskNameBytes);
}

bool D88Image::SelectDisk(int32_t index) {
  if (!file.IsOpen()) return false;
  ClearSelectedDisk();
  if (index < 0 || index >= diskCount) return false;

  DiskHeader header;
  // A header that cannot be read (also after a failed read) selects nothing.
  if (!ReadDiskHeader(diskOffsets[index], header)) return false;
  diskOffset = diskOffsets[index];
  std::memcpy(trackOffsets, header.trackOffsets, sizeof trackOffsets);
  mediaType = header.mediaType;
  writeProtect = header.writeProtect;
  diskSize = header.diskSize;
  judgement = JudgeDiskHeader(header);
  std::memcpy(diskName, header.name, sizeof diskName);
  std::memcpy(diskNameBytes, header.rawName, sizeof diskNameBytes);
  currentDisk = index;
  return true;
}

// Walks `track` to the first record with the ID c/h/r/n and leaves the
// file at its data; `otherSize` tells whether a record with the same C/H/R
// and another N came before the end of the walk.
bool D88Image::FindSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                          SectorHeader& found, bool& otherSize) {
  bool isFound = false;
  otherSize = false;
  WalkTrack(track, [&](const SectorHeader& record) {
    if (record.c != c || record.h != h || record.r != r) return true;
    if (record.n != n) {
      otherSize = true;
      return true;
    }
    found = record;
    isFound = true;
    return false;
  });
  return isFound;
}

int32_t D88Image::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r,
                             int32_t n, unsigned char* buffer,
                             int32_t maxBytes) {
  if (maxBytes <= 0) return 0;
  SectorHeader record;
  bool otherSize = false;
  if (!FindSector(track, c, h, r, n, record, otherSize)) return 0;
  const int32_t wanted = record.dataSize < maxBytes ? record.dataSize : maxBytes;
  // A truncated image delivers fewer bytes than the record promises;
  // the count tells the caller how much of buffer is real.
  // After a failed read the file gives no bytes at all, so a half-read
  // sector counts as none.
  return file.Read(buffer, wanted);
}

D88Image::SectorState D88Image::LookUpSector(int32_t track, int32_t c, int32_t h, int32_t r,
                                             int32_t n, int32_t wantedBytes) {
  SectorHeader record;
  bool otherSize = false;
  if (!FindSector(track, c, h, r, n, record, otherSize)) {
    return otherSize && !file.Failed() ? SectorState::OtherSize : SectorState::Missing;
  }
  // The data is passed over, not copied: only whether it is all there counts.
  if (record.dataSize >= wantedBytes && file.Skip(wantedBytes)) return SectorState::Whole;
  return file.Failed() ? SectorState::Missing : SectorState::Short;
}

int32_t D88Image::RunChunk(int32_t n, int32_t bytesLeft) {
  // 128 << n with n taken modulo 32 needs up to 39 bits; clamped to what is
  // still wanted, it always fits 32.
  const int64_t sectorSize = int64_t{128} << (static_cast<uint32_t>(n) % 32);
  return static_cast<int32_t>(bytesLeft < sectorSize ? bytesLeft : sectorSize);
}

int32_t D88Image::ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r,
                              int32_t n, unsigned char* buffer,
                              int32_t totalBytes) {
  if (totalBytes <= 0) return 0;
  int32_t done = 0;
  while (done < totalBytes) {
    const int32_t chunk = RunChunk(n, totalBytes - done);
    if (ReadSector(track, c, h, r, n, buffer + done, chunk) < chunk) {
      // A run cut short by a failed read gives nothing, like every other
      // operation then: the caller learns why from ReadFailed().
      return file.Failed() ? 0 : done;
    }
    done += chunk;
    // A successful read means track, c, h and r were all in range, so no
    // step can overflow.
    StepRun(track, c, h, r);
  }
  return done;
}

void D88Image::StepRun(int32_t& track, int32_t& c, int32_t& h, int32_t& r) const {
  if (r != lastSector) {
    ++r;
    return;
  }
  ++track;
  if (h == 0) {
    h = 1;
  } else {
    h = 0;
    ++c;
  }
  r = firstSector;
}

int32_t D88Image::ListSectorIds(int32_t track, unsigned char* buffer,
                                int32_t capacity) {
  return ListRecords(track, buffer, capacity, 4);
}

int32_t D88Image::ListSectorRecords(int32_t track, unsigned char* buffer,
                                    int32_t capacity) {
  return ListRecords(track, buffer, capacity, SectorRecordSize);
}

// Writes the ID of each record, and with whole entries the rest of its header.
int32_t D88Image::ListRecords(int32_t track, unsigned char* buffer,
                              int32_t capacity, int32_t entrySize) {
  if (capacity < entrySize) return 0;
  int32_t written = 0;
  WalkTrack(track, [&](const SectorHeader& record) {
    unsigned char* entry = buffer + written;
    entry[0] = static_cast<unsigned char>(record.c);
    entry[1] = static_cast<unsigned char>(record.h);
    entry[2] = static_cast<unsigned char>(record.r);
    entry[3] = static_cast<unsigned char>(record.n);
    if (entrySize == SectorRecordSize) {
      entry[4] = static_cast<unsigned char>(record.dataSize & 0xFF);
      entry[5] = static_cast<unsigned char>(record.dataSize >> 8);
      entry[6] = static_cast<unsigned char>(record.density);
      entry[7] = static_cast<unsigned char>(record.deleted);
      entry[8] = static_cast<unsigned char>(record.status);
    }
    written += entrySize;
    return capacity - written >= entrySize;
  });
  // A track whose walk was cut short by a failed read lists nothing.
  return file.Failed() ? 0 : written;
}

// Every record repeats the track's sector count, and the walk trusts the
// record in hand: it ends after the record at `position` once position + 1
// reaches that record's count. Using >= rather than equality also ends walks
// through damaged tracks whose counts disagree, so a walk visits at most
// 65,535 records.
bool D88Image::EndsWalk(int32_t position, const SectorHeader& record) {
  return position + 1 >= record.sectorCount;
}

// Positions the file at the first record of `track` of the selected disk.
// False when there is no file or the track is absent: index outside the
// table, entry 0 or negative, or an entry beyond the disk's size.
bool D88Image::StartTrackWalk(int32_t track) {
  if (!file.IsOpen() || track < 0 || track >= TrackCount) return false;
  const int32_t entry = trackOffsets[track];
  if (entry <= 0 || entry > diskSize) return false;
  // Both terms are 32-bit; their sum is taken in 64 bits.
  return file.SeekTo(static_cast<int64_t>(diskOffset) + entry);
}

bool D88Image::ReadDiskHeader(int64_t offset, DiskHeader& header) {
  unsigned char raw[DiskHeader::Size];
  if (!file.SeekTo(offset) || file.Read(raw, DiskHeader::Size) != DiskHeader::Size) {
    return false;
  }
  header = DecodeDiskHeader(raw);
  return true;
}

bool D88Image::ReadRecordHeader(SectorHeader& header) {
  unsigned char raw[SectorHeader::Size];
  if (file.Read(raw, SectorHeader::Size) != SectorHeader::Size) return false;
  header = DecodeSectorHeader(raw);
  return true;
}

