// Runs the real soundcut executable on images built here and checks every
// byte it prints, its exit code and the files it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
const std::string OpenFailed =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5"
    "\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";

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

TEST_F(SoundcutRun, WrongArgumentCountPrintsUsageWithProgramNameAsTyped) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
    const d88test::RunResult result = scratch.Run(Program, args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, AsConsoleText("Usage: " + Program + " [d88file]\n"));
  }
  EXPECT_TRUE(scratch.Entries().empty());
}

TEST_F(SoundcutRun, MissingImageIsReportedInShiftJis) {
  const d88test::RunResult result = scratch.Run(Program, {"absent.d88"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, AsConsoleText(OpenFailed));
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

TEST_F(SoundcutRun, DiskWithoutBootSectorIsNotJudgedByEarlierBytes) {
  Disk noTrackZero = GameDiskA();
  noTrackZero.tracks.erase(0);
  Disk shortBootSector = GameDiskA();
  shortBootSector.tracks[0][0].data.resize(16);  // cannot hold bytes 1-16
  const d88test::RunResult result =
      RunOn(Concat({Build(GameDiskA()), Build(noTrackZero), Build(shortBootSector)}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
}

TEST_F(SoundcutRun, CutsTheFourRegionsByteForByte) {
  const d88test::RunResult result = RunOn(Build(GameDiskA()));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(Recognised + CutAll));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(scratch.Entries(), WithImage(OutputFiles));
  EXPECT_EQ(scratch.Get("PSGDRV"), d88test::SampleRun(8, 2, 2));
  EXPECT_EQ(scratch.Get("OPMDRV"), d88test::SampleRun(8, 4, 2));
  EXPECT_EQ(scratch.Get("PSGMUS"), d88test::SampleRun(7, 1, 6));
  EXPECT_EQ(scratch.Get("OPMMUS"), d88test::SampleRun(9, 1, 10));
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
