// Fuzzes the image reader: the input is an image; every disk of it is
// selected and searched, listed and read in runs with track indexes, IDs,
// sizes and ranges taken from the input too. Every destination is a heap
// block of exactly the size passed, so AddressSanitizer sees any byte
// written past it.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "d88_image.h"
#include "fuzz_input.h"

namespace {

// A heap block of exactly the bytes a call may write: `limit` is the most
// the call can deliver whatever it is told (a sector's data is at most 65,535
// bytes), so a huge size argument does not need a huge block.
std::vector<unsigned char> Destination(int32_t size, int32_t limit) {
  const int32_t bytes = size < 1 ? 1 : (size > limit ? limit : size);
  return std::vector<unsigned char>(static_cast<size_t>(bytes));
}

// One reader for the whole fuzzing process, as in soundcut: each input's
// Open must close the file and forget the disk of the input before it.
D88Image Image;

const std::string& ImagePath() {
  static const std::string path = "/tmp/d88-reader-fuzz-" + std::to_string(getpid()) + ".d88";
  return path;
}

void ReadSomeSectors(FuzzControls& controls) {
  for (int i = 0; i < 4; ++i) {
    const int32_t track = controls.Near(-1, 164);
    const int32_t c = controls.Near(0, 255), h = controls.Near(0, 255);
    const int32_t r = controls.Near(0, 255), n = controls.Near(0, 255);
    const int32_t maxBytes = controls.Near(-1, 2048);
    std::vector<unsigned char> buffer = Destination(maxBytes, 65535);
    const int32_t got = Image.ReadSector(track, c, h, r, n, buffer.data(), maxBytes);
    // The one rule of whether a sector is there: the lookup says Whole
    // exactly when a read gets every byte it asks for.
    const bool whole = Image.LookUpSector(track, c, h, r, n, maxBytes) == D88Image::SectorState::Whole;
    if (maxBytes > 0 && whole != (got == maxBytes)) __builtin_trap();
  }
}

void ReadARun(FuzzControls& controls) {
  Image.SetSectorRange(controls.Near(0, 20), controls.Near(0, 20));
  const int32_t track = controls.Near(-1, 164);
  const int32_t c = controls.Near(0, 255), h = controls.Near(0, 3);
  const int32_t r = controls.Near(0, 255), n = controls.Near(-1, 40);
  // Runs are bounded by the caller's buffer; 16 KiB crosses tracks of any
  // common sector size and keeps each input quick.
  const int32_t total = controls.Near(-1, 12288);
  const int32_t bounded = total > 16384 ? 16384 : total;
  std::vector<unsigned char> buffer = Destination(bounded, bounded);
  Image.ReadSectors(track, c, h, r, n, buffer.data(), bounded);
}

void ListATrack(FuzzControls& controls) {
  const int32_t track = controls.Near(-1, 164);
  const int32_t capacity = controls.Near(-1, 1030);
  // A listing holds at most 65,535 entries of 4 bytes.
  std::vector<unsigned char> buffer = Destination(capacity, 65535 * 4);
  Image.ListSectorIds(track, buffer.data(), capacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(ImagePath(), data, size)) return 0;
  FuzzControls controls(data, size);
  if (!Image.Open(ImagePath().c_str())) return 0;
  // Before any disk is selected nothing may be found.
  ReadSomeSectors(controls);
  for (int32_t disk = -1; disk <= Image.DiskCount(); ++disk) {
    Image.SelectDisk(disk);
    ReadSomeSectors(controls);
    ReadARun(controls);
    ListATrack(controls);
  }
  if (controls.Byte() & 1) Image.Open(nullptr);
  return 0;
}
