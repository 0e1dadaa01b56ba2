// d88list: shows what a D88 image holds, disk by disk and track by track, so
// that a user can see why soundcut does or does not recognise a disk.
#include <cinttypes>

#include "command_line.h"
#include "console.h"
#include "d88_image.h"

namespace {

D88Image Image;

// A track lists at most 65,535 records (its count is 16 bits), 4 bytes each.
// Too large for the stack, so it has static storage.
constexpr int32_t MaxTrackIdBytes = 65535 * 4;
unsigned char TrackIds[MaxTrackIdBytes];

// Each printer returns false once standard output fails: a listing that
// cannot be written is not worth going on with.
bool PrintTrack(int32_t track) {
  const int32_t bytes = Image.ListSectorIds(track, TrackIds, MaxTrackIdBytes);
  if (bytes == 0) return true;
  if (!PrintOut("  track %" PRId32 ":", track)) return false;
  for (int32_t at = 0; at < bytes; at += 4) {
    if (!PrintOut(" %02X/%02X/%02X/%02X", TrackIds[at], TrackIds[at + 1], TrackIds[at + 2],
                  TrackIds[at + 3])) {
      return false;
    }
  }
  return PrintOut("\n");
}

bool PrintDisk(int32_t disk) {
  if (!Image.SelectDisk(disk)) return true;
  // The name is printed as stored: raw bytes, whatever their encoding.
  if (!PrintOut("disk %" PRId32 ": \"%s\" media 0x%02" PRIX32 " size %" PRId32 "\n", disk,
                Image.DiskName(), static_cast<uint32_t>(Image.MediaType()), Image.DiskSize())) {
    return false;
  }
  for (int32_t track = 0; track < TrackCount; ++track) {
    if (!PrintTrack(track)) return false;
  }
  return true;
}

}  // namespace

int PROGRAM_ENTRY(int argc, PathChar** argv) {
  if (!OpenImageFromCommandLine(Image, argc, argv)) return 1;
  for (int32_t disk = 0; disk < Image.DiskCount(); ++disk) {
    if (!PrintDisk(disk)) return 1;
  }
  return FinishOutput() ? 0 : 1;
}
