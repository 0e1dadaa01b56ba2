#include "worst_case_images.h"

namespace d88test {
namespace {

constexpr int HeaderSize = 688;
constexpr int MaxCount = 65535;

}  // namespace

Bytes GameDiskLastOfSixtyFour() {
  std::vector<Bytes> disks;
  const Bytes ordinary = Build(OrdinaryDisk("Other X1 Boot   "));
  for (int i = 0; i < 63; ++i) disks.push_back(ordinary);
  disks.push_back(Build(GameDiskA()));
  return Concat(disks);
}

Bytes SlowestImage(int emptyRecords, int dataBytes) {
  Bytes out(64 * HeaderSize, 0);
  for (int disk = 0; disk < 64; ++disk) {
    const size_t at = static_cast<size_t>(disk) * HeaderSize;
    // Read as a record header, the name is an ID no search asks for, a
    // count that never ends the walk, and data that reach the next header.
    out[at] = out[at + 1] = out[at + 2] = out[at + 3] = 0xEE;
    PutLE16(out, at + 4, MaxCount);
    PutLE16(out, at + 14, HeaderSize - 16);
    PutLE32(out, at + 0x1C, HeaderSize);
    // The disk's tracks start where the next disk's header does.
    for (int track : {0, 7, 8, 9, 10}) PutLE32(out, at + 0x20 + 4 * track, HeaderSize);
  }
  const Bytes filler(static_cast<size_t>(dataBytes), 0xEE);
  for (int i = 0; i < emptyRecords; ++i) AppendRecord(out, MakeRecord(0xEE, 0xEE, 0xEE, 0xEE, MaxCount, filler));
  AppendRecord(out, MakeRecord(0, 0, 1, 1, MaxCount, SampleSector(0, 1)));
  for (int track = 7; track <= 10; ++track) {
    for (int r = 1; r <= 5; ++r) {
      AppendRecord(out, MakeRecord(track / 2, track % 2, r, 3, MaxCount, SampleSector(track, r)));
    }
  }
  return out;
}

}  // namespace d88test
