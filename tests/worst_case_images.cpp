#include "worst_case_images.h"

#include <cstring>

namespace d88test {
namespace {

constexpr int HeaderSize = 688;
constexpr int MaxCount = 65535;

void PutLE16(Bytes& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLE32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void AppendRecord(Bytes& out, int c, int h, int r, int n, const Bytes& data) {
  const size_t at = out.size();
  out.resize(at + 16, 0);
  out[at] = static_cast<uint8_t>(c);
  out[at + 1] = static_cast<uint8_t>(h);
  out[at + 2] = static_cast<uint8_t>(r);
  out[at + 3] = static_cast<uint8_t>(n);
  PutLE16(out, at + 4, MaxCount);
  PutLE16(out, at + 14, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

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
  for (int i = 0; i < emptyRecords; ++i) AppendRecord(out, 0xEE, 0xEE, 0xEE, 0xEE, filler);
  AppendRecord(out, 0, 0, 1, 1, SampleSector(0, 1));
  for (int track = 7; track <= 10; ++track) {
    for (int r = 1; r <= 5; ++r) AppendRecord(out, track / 2, track % 2, r, 3, SampleSector(track, r));
  }
  return out;
}

}  // namespace d88test
