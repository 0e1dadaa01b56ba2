// Runs the real soundcut executable on images built here and checks every
// byte it prints, its exit code and the files it leaves.
#include <gtest/gtest.h>

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
  EXPECT_EQ(result.out, AsConsoleText(Recognised));
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
  EXPECT_EQ(result.out, AsConsoleText(Recognised));
}

TEST_F(SoundcutRun, EveryRecognisedDiskIsAnnounced) {
  const d88test::RunResult result = RunOn(Concat({Build(GameDiskA()), Build(GameDiskA("B"))}));
  EXPECT_EQ(result.out, AsConsoleText(Recognised + Recognised));
}

}  // namespace
