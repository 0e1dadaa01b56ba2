#include "soundcut.h"

#include <cstring>

#include "command_line.h"
#include "console.h"
#include "launch.h"
#include "messages.h"
#include "output_file.h"
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

// Cuts the four regions of every recognised disk of the open image. Every
// disk and every region is tried; one failure does not stop the others.
struct CutResult {
  int32_t disksRecognised = 0;
  bool allCut = true;
};

CutResult CutEveryGameDisk() {
  CutResult result;
  const int32_t count = Image.DiskCount();
  for (int32_t disk = 0; disk < count; ++disk) {
    Image.SelectDisk(disk);
    // The game's disks have five sectors per track, numbered 1-5.
    Image.SetSectorRange(1, 5);
    if (!IsGameDiskA()) continue;
    ++result.disksRecognised;
    PrintOut(RECOGNISED_MESSAGE);
    for (const Region& region : RegionTable) {
      result.allCut = CutRegion(region.fileName, region.track, region.c, region.h, region.r,
                                region.n, region.offset, region.length) &&
                      result.allCut;
    }
  }
  return result;
}

int Run(int argc, PathChar** argv, bool onItsOwnConsole) {
  // Dropped on the program, an image's files belong beside it: the current
  // folder is then one the user never chose.
  if (onItsOwnConsole && argc == 2) PlaceOutputFilesBeside(argv[1]);
  if (!OpenImageFromCommandLine(Image, argc, argv)) return 1;
  const CutResult result = CutEveryGameDisk();
  // Silence would leave a user who dropped the wrong image wondering.
  if (onItsOwnConsole && result.disksRecognised == 0) PrintOut(NOT_FOUND_MESSAGE);
  // The files are the real output, so a failed standard output only
  // changes the exit code, after every region was tried.
  const bool printed = FinishOutput();
  return result.allCut && printed ? 0 : 1;
}

}  // namespace

int RunSoundcut(int argc, PathChar** argv) {
  const bool onItsOwnConsole = StartedOnItsOwnConsole(ThisProcessConsoleFacts());
  const int exitCode = Run(argc, argv, onItsOwnConsole);
  if (onItsOwnConsole) {
    // The window closes when the program ends: let the user read it first.
    PrintOut(PRESS_ENTER_MESSAGE);
    FinishOutput();
    WaitForEnter();
  }
  return exitCode;
}
