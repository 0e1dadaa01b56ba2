#include "soundcut.h"

#include <cstring>

#include "command_line.h"
#include "console.h"
#include "messages.h"
#include "region_cutter.h"
#include "region_table.h"
#include "tool_state.h"

namespace {

// The boot sector of the game's disk A carries this name in bytes 1-16
// (byte 0 is not examined).
constexpr char BootName[] = "Brevindor X1 Sys";
constexpr int32_t BootNameLength = sizeof BootName - 1;

// Reads the boot sector (track 0, C0 H0 R1 N1) of the selected disk into
// SectorBuffer. Only a sector that was really read and is long enough to hold
// the name can match: a disk without one must not be judged by the bytes an
// earlier read left in the buffer.
bool IsGameDiskA() {
  const int32_t got = Image.ReadSector(0, 0, 0, 1, 1, SectorBuffer, 256);
  return got >= 1 + BootNameLength &&
         std::memcmp(SectorBuffer + 1, BootName, BootNameLength) == 0;
}

}  // namespace

int RunSoundcut(int argc, char** argv) {
  if (!OpenImageFromCommandLine(Image, argc, argv)) return 1;
  // Every disk and every region is tried; one failure does not stop the
  // others, but it does make the run end with 1.
  bool allCut = true;
  const int32_t count = Image.DiskCount();
  for (int32_t disk = 0; disk < count; ++disk) {
    Image.SelectDisk(disk);
    // The game's disks have five sectors per track, numbered 1-5.
    Image.SetSectorRange(1, 5);
    if (!IsGameDiskA()) continue;
    PrintOut(RECOGNISED_MESSAGE);
    for (const Region& region : RegionTable) {
      allCut = CutRegion(region.fileName, region.track, region.c, region.h,
                         region.r, region.n, region.offset, region.length) &&
               allCut;
    }
  }
  // The files are the real output, so a failed standard output only
  // changes the exit code, after every region was tried.
  const bool printed = FinishOutput();
  return allCut && printed ? 0 : 1;
}
