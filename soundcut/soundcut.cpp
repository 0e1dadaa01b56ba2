#include "soundcut.h"

#include <cstring>

#include "command_line.h"
#include "console.h"
#include "game_disk.h"
#include "launch.h"
#include "messages.h"
#include "region_cutter.h"
#include "tool_state.h"

namespace {

// Cuts the four regions of every recognised disk of the open image. Every
// disk and every region is tried; one that cannot be cut does not stop the
// others. A failed read of the image does: nothing after it can be trusted.
struct CutResult {
  int32_t disksRecognised = 0;
  bool allCut = true;
};

void CutRegions(CutResult& result) {
  for (const Region& region : RegionTable) {
    result.allCut = CutRegion(region) && result.allCut;
    if (Image.ReadFailed()) return;
  }
}

CutResult CutEveryGameDisk() {
  CutResult result;
  const int32_t count = Image.DiskCount();
  for (int32_t disk = 0; disk < count && !Image.ReadFailed(); ++disk) {
    Image.SelectDisk(disk);
    UseGameSectorRange(Image);
    if (!IsGameDiskA(Image, SectorBuffer)) continue;
    ++result.disksRecognised;
    DiskReport& report = Report.disks[Report.diskCount++];
    report.index = disk;
    report.regionCount = 0;
    PrintOut(RECOGNISED_MESSAGE);
    CutRegions(result);
  }
  return result;
}

// An image without the game's disk A: whether it holds anything at all,
// and whether its first disk header is one a D88 writer would make, so
// that a file of some other kind is not taken for an image without the
// game's disk.
void NoteWhatTheImageIs() {
  Report.imageEmpty = Image.IsEmpty();
  Report.firstHeaderIsD88 = Image.SelectDisk(0) && Image.Judgement() == HeaderJudgement::D88;
}

// Nothing of an earlier run in this process may show in this one's report.
void StartReport() {
  std::memset(&Report, 0, sizeof Report);
  Report.exitStatus = 1;
}

int Run(int argc, PathChar** argv, bool onItsOwnConsole) {
  // PSGDRV is written as PSGDRV.soundcut-<16 hexadecimal digits> first.
  Output.Start(".soundcut-");
  // Dropped on the program, an image's files belong beside it: the current
  // folder is then one the user never chose.
  if (onItsOwnConsole && argc == 2) Output.PlaceBeside(argv[1]);
  int exitCode = 0;
  if (!ReadCommandLine(Image, argc, argv, {"soundcut", HELP_TEXT}, exitCode)) return exitCode;
  Report.imageOpened = true;
  const CutResult result = CutEveryGameDisk();
  if (result.disksRecognised == 0 && !Image.ReadFailed()) NoteWhatTheImageIs();
  // A medium that fails is not an image without the game's disk.
  const bool readFailed = Image.ReadFailed();
  Report.readFailed = readFailed;
  if (readFailed) PrintReadFailure();
  // Silence would leave a user who dropped the wrong image wondering.
  if (onItsOwnConsole && !readFailed && result.disksRecognised == 0) PrintOut(NOT_FOUND_MESSAGE);
  // The files are the real output, so a failed standard output only
  // changes the exit code, after every region was tried.
  const bool printed = FinishOutput();
  return result.allCut && !readFailed && printed ? 0 : 1;
}

}  // namespace

int RunSoundcut(int argc, PathChar** argv) {
  // The files are the real output: a reader of standard output that went
  // away must not stop the cut half way.
  KeepRunningWhenOutputCloses();
  const bool onItsOwnConsole = StartedOnItsOwnConsole(ThisProcessConsoleFacts());
  StartReport();
  const int exitCode = Run(argc, argv, onItsOwnConsole);
  // The image is closed with the run, not at exit: where runs follow one
  // another in one process, no run's image stays open (on Windows, locked
  // against deletion) into the next.
  Image.Open(nullptr);
  Report.exitStatus = exitCode;
  if (onItsOwnConsole) PressEnterToClose();
  return exitCode;
}

const RunReport& LastSoundcutReport() { return Report; }
