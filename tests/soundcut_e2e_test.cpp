// Runs the real soundcut executable on images built here and checks every
// byte it prints, its exit code and the files it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#else
#include <windows.h>
#endif

#include "d88_builder.h"
#include "program_run.h"

using d88test::AsConsoleText;
using d88test::Build;
using d88test::Bytes;
using d88test::Concat;
using d88test::Disk;
using d88test::GameDiskA;
using d88test::OrdinaryDisk;

namespace {

const std::string Program = SOUNDCUT_PROGRAM;
const std::string Recognised =
    "Brevindor Tolvask (X1) Disk A\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";

const std::string CutAll =
    "cutting ... PSGDRV\ncutting ... OPMDRV\ncutting ... PSGMUS\ncutting ... OPMMUS\n";
const std::vector<std::string> OutputFiles = {"OPMDRV", "OPMMUS", "PSGDRV", "PSGMUS"};

std::string CannotRead(const std::string& file) {
  return file + ": \x83\x5A\x83\x4E\x83\x5E\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF"
                "\x82\xDC\x82\xB9\x82\xF1.\n";
}

std::string CannotWrite(const std::string& file) {
  return file + ": \x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8F\x91\x82\xAB\x8D\x9E"
                "\x82\xDF\x82\xDC\x82\xB9\x82\xF1.\n";
}

// What a cut of GameDiskA(_, variant) leaves in each output file.
Bytes RegionOf(const std::string& file, int variant = 0) {
  if (file == "PSGDRV") return d88test::SampleRun(8, 2, 2, variant);
  if (file == "OPMDRV") return d88test::SampleRun(8, 4, 2, variant);
  if (file == "PSGMUS") return d88test::SampleRun(7, 1, 6, variant);
  return d88test::SampleRun(9, 1, 10, variant);  // OPMMUS
}

std::vector<std::string> WithImage(std::vector<std::string> names) {
  names.push_back("image.d88");
  std::sort(names.begin(), names.end());
  return names;
}

class SoundcutRun : public ::testing::Test {
 protected:
  d88test::RunResult RunOn(const Bytes& image) {
    scratch.Put("image.d88", image);
    return scratch.Run(Program, {"image.d88"});
  }
  d88test::ScratchDir scratch;
};

#ifndef _WIN32
// soundcut still cuts every region, also after a failing one, whether
// standard output is full or its reader went away (head -c0); the lost
// messages make the run fail.
TEST_F(SoundcutRun, StandardOutputThatCannotBeWrittenEndsWithOne) {
  Disk disk = GameDiskA();
  disk.tracks[8].erase(disk.tracks[8].begin() + 1);  // PSGDRV's first sector
  scratch.Put("image.d88", Build(disk));
  for (const auto streams : {d88test::ScratchDir::Streams::OutputToFullDevice,
                             d88test::ScratchDir::Streams::OutputToClosedPipe}) {
    for (const std::string& name : OutputFiles) std::filesystem::remove(scratch.PathOf(name));
    const d88test::RunResult result = scratch.Run(Program, {"image.d88"}, "", streams);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, CannotRead("PSGDRV"));
    EXPECT_EQ(scratch.Entries(), WithImage({"OPMDRV", "OPMMUS", "PSGMUS"}));
    EXPECT_EQ(scratch.Get("OPMMUS"), d88test::SampleRun(9, 1, 10));
  }
}
#endif

TEST_F(SoundcutRun, ImageNamedLikeAnOptionIsReachedByAPath) {
  scratch.Put("--help", Build(GameDiskA()));
  EXPECT_EQ(scratch.Run(Program, {"./--help"}).out, AsConsoleText(Recognised + CutAll));
}

TEST_F(SoundcutRun, ImagesWithoutTheGameDiskAreSilent) {
  for (const Bytes& image : {Bytes{}, Bytes(687, 0x41), Build(OrdinaryDisk("Other X1 System", 2))}) {
    const d88test::RunResult result = RunOn(image);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
  }
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"image.d88"});
}

// Each image is read under its own name, in any script: on Windows a
// narrow command line would turn "ŝ.d88" into "s.d88" under code page 1252
// and the Japanese name into "???????.d88".
TEST_F(SoundcutRun, AnyFileNameOpensThatImage) {
  scratch.Put("s.d88", Build(GameDiskA("S", 1)));
  int variant = 2;
  for (const std::string name : {"\u015D.d88", "\u30D6\u30EC\u30D3\u30F3\u30C9\u30FC\u30EB.d88",
                                 "\u03A9.d88", "\U0001F600.d88"}) {
    SCOPED_TRACE(name);
    scratch.Put(name, Build(GameDiskA("NAMED", variant)));
    const d88test::RunResult result = scratch.Run(Program, {name});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
    for (const std::string& file : OutputFiles) EXPECT_EQ(scratch.Get(file), RegionOf(file, variant));
    ++variant;
  }
}

// An absolute path of more than 300 characters (Windows' plain file calls
// stop at 260).
TEST_F(SoundcutRun, LongAbsolutePathOpensTheImage) {
  const std::string name(100, 'f');
  const std::string folder = scratch.PathOf(name + "/" + name + "/" + name);
  const std::string path = folder + "/image.d88";
  ASSERT_GT(path.size(), 300u);
  std::filesystem::create_directories(std::filesystem::u8path(folder));
  d88test::WriteFileBytes(path, Build(GameDiskA()));
  const d88test::RunResult result = scratch.Run(Program, {path});
  d88test::RemoveDeepFolder(folder, {"image.d88"}, scratch.Work());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  for (const std::string& file : OutputFiles) EXPECT_EQ(scratch.Get(file), RegionOf(file));
}

#ifdef _WIN32
// The suite runs under more than one system code page (see tests/CMakeLists.txt);
// this checks that the one asked for is really in force.
// The program name in the usage line is written in code page 932, as the
// rest of the stream is, whatever the system's code page ("ブ" is 83 75).
TEST_F(SoundcutRun, UsageShowsAWideProgramNameInCodePage932) {
  std::filesystem::copy_file(std::filesystem::u8path(Program),
                             std::filesystem::u8path(scratch.PathOf("\u30D6.exe")));
  const d88test::RunResult result = scratch.Run("\u30D6.exe", {});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "Usage: \x83\x75.exe [d88file]\r\n");
}

TEST(WindowsLocale, RunsUnderTheCodePageAskedFor) {
  const char* expected = std::getenv("SOUNDCUT_TEST_CODE_PAGE");
  if (expected == nullptr) GTEST_SKIP() << "no code page asked for";
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}
#endif

TEST_F(SoundcutRun, RecognisesOnlyTheDiskCarryingTheBootName) {
  const d88test::RunResult result =
      RunOn(Concat({Build(OrdinaryDisk("Brevindor X1 Sy", 2)), Build(GameDiskA())}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  EXPECT_EQ(result.err, "");
}

TEST_F(SoundcutRun, NameMustStartAtByteOne) {
  Disk disk = GameDiskA();
  Bytes& boot = disk.tracks[0][0].data;
  const std::string name = d88test::BootName;
  std::copy(name.begin(), name.end(), boot.begin());  // bytes 0-15
  boot[16] = ' ';
  EXPECT_EQ(RunOn(Build(disk)).out, "");
}

// A boot sector is judged by the bytes read from it alone: 17 bytes hold the
// name, 16 do not, whatever an earlier read left in the buffer (here the
// disk before the short one leaves an 's' at byte 16).
TEST_F(SoundcutRun, DiskWithoutBootSectorIsNotJudgedByEarlierBytes) {
  Disk noTrackZero = GameDiskA();
  noTrackZero.tracks.erase(0);
  Disk shortBootSector = GameDiskA();
  shortBootSector.tracks[0][0].data.resize(16);  // cannot hold bytes 1-16
  Disk justLongEnough = GameDiskA();
  justLongEnough.tracks[0][0].data.resize(17);
  const d88test::RunResult result = RunOn(
      Concat({Build(GameDiskA()), Build(noTrackZero), Build(OrdinaryDisk("...............s", 1)),
              Build(shortBootSector), Build(justLongEnough)}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll + Recognised + CutAll));
}

TEST_F(SoundcutRun, CutsTheFourRegionsByteForByte) {
  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(scratch.Entries(), WithImage(OutputFiles));
  for (const std::string& name : OutputFiles) EXPECT_EQ(scratch.Get(name), RegionOf(name)) << name;
}

TEST_F(SoundcutRun, ReplacesExistingFilesExactly) {
  scratch.Put("PSGDRV", Bytes(5000, 0x55));
  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2));
  EXPECT_EQ(scratch.Entries(), WithImage(OutputFiles));  // nothing left beside them
}

TEST_F(SoundcutRun, LastRecognisedDiskWins) {
  const d88test::RunResult result =
      RunOn(Concat({Build(GameDiskA("A", 1)), Build(GameDiskA("B", 2))}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll + Recognised + CutAll));
  EXPECT_EQ(scratch.Get("OPMMUS"), d88test::SampleRun(9, 1, 10, 2));
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2, 2));
}

TEST_F(SoundcutRun, RegionWithoutItsFirstSectorIsNotCut) {
  Disk disk = GameDiskA();
  disk.tracks[9].erase(disk.tracks[9].begin());  // OPMMUS starts at track 9 R1
  scratch.Put("OPMMUS", Bytes{'o', 'l', 'd'});
  const d88test::RunResult result = RunOn(Build(disk));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, AsConsoleText(Recognised +
                                      "cutting ... PSGDRV\ncutting ... OPMDRV\n"
                                      "cutting ... PSGMUS\n"));
  EXPECT_EQ(result.err, AsConsoleText(CannotRead("OPMMUS")));
  EXPECT_EQ(scratch.Get("OPMMUS"), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(scratch.Get("PSGMUS"), d88test::SampleRun(7, 1, 6));
}

TEST_F(SoundcutRun, PartlyReadRegionLeavesNoFile) {
  Disk disk = GameDiskA();
  disk.tracks[7].erase(disk.tracks[7].begin() + 2);  // PSGMUS's third sector
  const d88test::RunResult result = RunOn(Build(disk));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  EXPECT_EQ(result.err, AsConsoleText(CannotRead("PSGMUS")));
  EXPECT_EQ(scratch.Entries(), WithImage({"OPMDRV", "OPMMUS", "PSGDRV"}));
}

// Standard output is flushed before each error line, so that a merged
// stream shows the error after the lines it follows.
TEST_F(SoundcutRun, MergedStreamsKeepTheirOrder) {
  Disk disk = GameDiskA();
  disk.tracks[8].erase(disk.tracks[8].begin() + 3);  // OPMDRV's first sector
  scratch.Put("image.d88", Build(disk));
  const d88test::RunResult result =
      scratch.Run(Program, {"image.d88"}, "", d88test::ScratchDir::Streams::Merged);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + "cutting ... PSGDRV\n" + CannotRead("OPMDRV") +
                                      "cutting ... PSGMUS\ncutting ... OPMMUS\n"));
}

TEST_F(SoundcutRun, PartlyReadRegionKeepsTheEarlierFile) {
  Disk disk = GameDiskA();
  disk.tracks[10][4].data.resize(1000);  // OPMMUS's last sector is short
  scratch.Put("OPMMUS", Bytes(10240, 0x77));
  const d88test::RunResult result = RunOn(Build(disk));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  EXPECT_EQ(result.err, AsConsoleText(CannotRead("OPMMUS")));
  EXPECT_EQ(scratch.Get("OPMMUS"), Bytes(10240, 0x77));
}

TEST_F(SoundcutRun, LongerSectorGivesOnlyItsFirstChunk) {
  Disk disk = GameDiskA();
  disk.tracks[8][1].data.resize(1100, 0xAB);  // PSGDRV's first sector
  const d88test::RunResult result = RunOn(Build(disk));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2));
}

TEST_F(SoundcutRun, FileThatCannotBeWrittenIsReportedAndTheOthersAreWritten) {
  std::filesystem::create_directory(scratch.PathOf("OPMDRV"));
  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  EXPECT_EQ(result.err, AsConsoleText(CannotWrite("OPMDRV")));
  EXPECT_TRUE(std::filesystem::is_directory(scratch.PathOf("OPMDRV")));
  EXPECT_EQ(scratch.Entries(), WithImage(OutputFiles));  // no pending file left
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2));
  EXPECT_EQ(scratch.Get("PSGMUS"), d88test::SampleRun(7, 1, 6));
  EXPECT_EQ(scratch.Get("OPMMUS"), d88test::SampleRun(9, 1, 10));
}

#ifdef _WIN32
// Opens `path` as a virus scanner or a viewer may: sharing reading alone,
// so that the name can be neither replaced nor removed until it lets go.
HANDLE HoldWithoutSharing(const std::string& path) {
  return CreateFileW(std::filesystem::u8path(path).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

bool HasEntryStartingWith(const d88test::ScratchDir& scratch, const std::string& start) {
  for (const std::string& name : scratch.Entries()) {
    if (name.compare(0, start.size(), start) == 0) return true;
  }
  return false;
}
#endif

#ifdef _WIN32
// Only Windows waits for a name (one that another program holds). Waiting
// cannot make a directory writable: however many disks meet one,
// none of the run's second of patience goes to it, so a file another
// program holds for a moment later in the run is still replaced.
TEST_F(SoundcutRun, NameThatCanNeverBeWrittenCostsNoWaiting) {
  std::filesystem::create_directory(scratch.PathOf("PSGMUS"));
  scratch.Put("OPMMUS", Bytes{'o', 'l', 'd'});
  const HANDLE held = HoldWithoutSharing(scratch.PathOf("OPMMUS"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Held until soundcut's new OPMMUS stands beside the old one (after the
  // first disk's PSGMUS has failed), and for 300 ms more.
  std::thread release([&] {
    for (int wait = 0; wait < 3000 && !HasEntryStartingWith(scratch, "OPMMUS."); ++wait) Sleep(5);
    Sleep(300);
    CloseHandle(held);
  });
  std::vector<Bytes> disks(40, Build(GameDiskA()));
  const auto start = std::chrono::steady_clock::now();
  const d88test::RunResult result = RunOn(Concat(disks));
  release.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(result.exitCode, 1);
  std::string errors;
  for (int disk = 0; disk < 40; ++disk) errors += CannotWrite("PSGMUS");
  EXPECT_EQ(result.err, AsConsoleText(errors));
  EXPECT_EQ(scratch.Get("OPMMUS"), RegionOf("OPMMUS"));
}

// A virus scanner or a viewer that holds the old file for a moment delays
// its replacement; it does not make it fail. The old PSGDRV is held without
// sharing deletion until soundcut's new file stands beside it, and for
// 300 ms more.
TEST_F(SoundcutRun, FileHeldByAnotherProgramForAMomentIsReplaced) {
  scratch.Put("PSGDRV", Bytes{'o', 'l', 'd'});
  const HANDLE held = HoldWithoutSharing(scratch.PathOf("PSGDRV"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([&] {
    for (int wait = 0; wait < 3000 && scratch.Entries().size() < 3; ++wait) Sleep(5);
    Sleep(300);
    CloseHandle(held);
  });
  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  release.join();
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2));
}

// The standard streams are in text mode on Windows: every line feed of a
// message reaches a redirected file as CR LF, the other bytes unchanged.
TEST_F(SoundcutRun, WindowsMessagesEndWithCrLf) {
  const d88test::RunResult result = scratch.Run(Program, {"absent.d88"});
  EXPECT_EQ(result.err,
            "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
            "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x2E\x0D\x0A");
  const std::string lines =
      "Brevindor Tolvask (X1) Disk A\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5"
      "\x82\xBD.\r\ncutting ... PSGDRV\r\n";
  EXPECT_EQ(RunOn(Build(GameDiskA())).out.substr(0, lines.size()), lines);
}
#endif

#ifndef _WIN32
// On a terminal the messages are shown as text: UTF-8 where the locale uses
// it, the Shift-JIS bytes otherwise. The terminal turns each LF into CR LF.
TEST_F(SoundcutRun, TerminalShowsMessagesInItsEncoding) {
  const std::string utf8 = "Brevindor Tolvask (X1) Disk A\u3092\u8A8D\u8B58\u3057\u307E\u3057\u305F.\r\n";
  scratch.Put("image.d88", Build(GameDiskA()));
  d88test::RunResult result = scratch.RunOnTerminal(Program, {"image.d88"}, "C.UTF-8");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out.substr(0, utf8.size() + 20), utf8 + "cutting ... PSGDRV\r\n");
  result = scratch.RunOnTerminal(Program, {"image.d88"}, "C");
  EXPECT_EQ(result.out.substr(0, Recognised.size() + 1), Recognised.substr(0, Recognised.size() - 1) + "\r\n");
  // Redirected, the bytes stay Shift-JIS whatever the locale.
  EXPECT_EQ(scratch.Run(Program, {"image.d88"}, "LC_ALL=C.UTF-8 ").out, Recognised + CutAll);
}

struct stat StatusOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return status;
}

// Names planted in the folder, by anyone who can write there, are never
// opened, followed or removed: not at the temporary name earlier versions
// used, and not at the target name, where a link is replaced by the file
// (even a link to a file that already holds the right bytes).
TEST_F(SoundcutRun, PlantedNamesAreNeverWrittenThrough) {
  const std::string outside = scratch.PathOf("../outside");
  const std::string holdsRegion = scratch.PathOf("../holds-region");
  d88test::WriteFileBytes(outside, Bytes{'k', 'e', 'e', 'p'});
  d88test::WriteFileBytes(holdsRegion, d88test::SampleRun(7, 1, 6));
  std::filesystem::create_symlink(outside, scratch.PathOf("PSGDRV.soundcut-tmp"));
  scratch.Put("OPMDRV.soundcut-tmp", Bytes{'m', 'i', 'n', 'e'});
  std::filesystem::create_symlink(outside, scratch.PathOf("OPMMUS"));
  std::filesystem::create_symlink(holdsRegion, scratch.PathOf("PSGMUS"));

  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(d88test::ReadFileBytes(outside), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(d88test::ReadFileBytes(holdsRegion), d88test::SampleRun(7, 1, 6));
  EXPECT_EQ(scratch.Get("OPMDRV.soundcut-tmp"), (Bytes{'m', 'i', 'n', 'e'}));
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.PathOf("PSGDRV.soundcut-tmp")));
  for (const std::string& name : OutputFiles) {
    EXPECT_TRUE(S_ISREG(StatusOf(scratch.PathOf(name)).st_mode)) << name;
  }
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2));
  EXPECT_EQ(scratch.Get("OPMMUS"), d88test::SampleRun(9, 1, 10));
  EXPECT_EQ(scratch.Get("PSGMUS"), d88test::SampleRun(7, 1, 6));
  EXPECT_EQ(scratch.Entries(), WithImage({"OPMDRV", "OPMDRV.soundcut-tmp", "OPMMUS", "PSGDRV",
                                          "PSGDRV.soundcut-tmp", "PSGMUS"}));
}

TEST_F(SoundcutRun, NewFilesGetTheUsualPermissions) {
  scratch.Put("image.d88", Build(GameDiskA()));
  ASSERT_EQ(scratch.Run(Program, {"image.d88"}, "umask 027; ").exitCode, 0);
  for (const std::string& name : OutputFiles) {
    EXPECT_EQ(StatusOf(scratch.PathOf(name)).st_mode & 0777, 0640u) << name;
  }
}

// A file that already holds exactly the region stays as it is (the same
// file, not a copy put in its place), also one compared in several chunks
// (OPMMUS, 10 KiB); any other is replaced.
TEST_F(SoundcutRun, RerunLeavesFilesThatAlreadyHoldTheRegion) {
  Bytes oneByteOff = d88test::SampleRun(8, 4, 2);
  oneByteOff[2047] ^= 1;
  Bytes oneByteMore = d88test::SampleRun(7, 1, 6);
  oneByteMore.push_back(0);
  scratch.Put("PSGDRV", d88test::SampleRun(8, 2, 2));
  scratch.Put("OPMDRV", oneByteOff);
  scratch.Put("PSGMUS", oneByteMore);
  scratch.Put("OPMMUS", d88test::SampleRun(9, 1, 10));
  const ino_t untouched = StatusOf(scratch.PathOf("PSGDRV")).st_ino;
  const ino_t offBefore = StatusOf(scratch.PathOf("OPMDRV")).st_ino;
  const ino_t moreBefore = StatusOf(scratch.PathOf("PSGMUS")).st_ino;
  const ino_t longUntouched = StatusOf(scratch.PathOf("OPMMUS")).st_ino;

  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, Recognised + CutAll);
  EXPECT_EQ(StatusOf(scratch.PathOf("PSGDRV")).st_ino, untouched);
  EXPECT_EQ(StatusOf(scratch.PathOf("OPMMUS")).st_ino, longUntouched);
  EXPECT_NE(StatusOf(scratch.PathOf("OPMDRV")).st_ino, offBefore);
  EXPECT_NE(StatusOf(scratch.PathOf("PSGMUS")).st_ino, moreBefore);
  EXPECT_EQ(scratch.Get("OPMDRV"), d88test::SampleRun(8, 4, 2));
  EXPECT_EQ(scratch.Get("PSGMUS"), d88test::SampleRun(7, 1, 6));
}

// Two runs cutting different images in one folder at the same time: every
// file afterwards is one image's whole region, and no temporary file is left.
TEST_F(SoundcutRun, ConcurrentRunsLeaveWholeFiles) {
  scratch.Put("one.d88", Build(GameDiskA("ONE", 1)));
  scratch.Put("two.d88", Build(GameDiskA("TWO", 2)));
  const std::string run = d88test::Quote(Program);
  for (int round = 0; round < 40; ++round) {
    ASSERT_EQ(scratch.Shell(run + " one.d88 >/dev/null & " + run + " two.d88 >/dev/null; " +
                            "second=$?; wait $!; exit $(($? | second))"),
              0);
    for (const std::string& name : OutputFiles) {
      const Bytes got = scratch.Get(name);
      EXPECT_TRUE(got == RegionOf(name, 1) || got == RegionOf(name, 2)) << name << ", round " << round;
    }
  }
  EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"OPMDRV", "OPMMUS", "PSGDRV", "PSGMUS",
                                                         "one.d88", "two.d88"}));
}

TEST_F(SoundcutRun, FileCutShortByAWriteErrorLeavesTheEarlierFile) {
  scratch.Put("OPMMUS", Bytes{'o', 'l', 'd'});
  scratch.Put("image.d88", Build(GameDiskA()));
  // Files may grow to 16 blocks of 512 bytes (the POSIX shell's unit): OPMMUS
  // (10 KiB) fails in the middle of writing.
  const d88test::RunResult result =
      scratch.Run(Program, {"image.d88"}, "trap '' XFSZ; ulimit -f 16; ");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, Recognised + CutAll);
  EXPECT_EQ(result.err, CannotWrite("OPMMUS"));
  EXPECT_EQ(scratch.Get("OPMMUS"), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(scratch.Entries(), WithImage(OutputFiles));
}
#endif

}  // namespace
