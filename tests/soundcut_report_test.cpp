// The report of a soundcut run, driven in-process as the page drives it:
// what each region of each recognised disk came to, and nothing of one run
// left in the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "d88_builder.h"
#include "program_run.h"
#include "soundcut.h"

namespace {

int RunIn(const std::string& folder, const std::string& image) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::u8path(folder));
#ifdef _WIN32
  std::wstring program = L"soundcut", argument = std::filesystem::u8path(image).wstring();
#else
  std::string program = "soundcut", argument = image;
#endif
  PathChar* argv[] = {program.data(), argument.data(), nullptr};
  const int exitCode = RunSoundcut(2, argv);
  std::filesystem::current_path(previous);
  return exitCode;
}

TEST(SoundcutReport, TellsWhatEachRegionOfEachRecognisedDiskCameTo) {
  d88test::ScratchDir scratch;
  d88test::Disk gap = d88test::GameDiskA("GAP", 1);
  gap.tracks[9].erase(gap.tracks[9].begin() + 2);  // OPMMUS's C4 H1 R3
  scratch.Put("image.d88", d88test::Concat({d88test::Build(d88test::GameDiskA()),
                                            d88test::Build(d88test::OrdinaryDisk("OTHER")),
                                            d88test::Build(gap)}));
  std::filesystem::create_directory(std::filesystem::u8path(scratch.PathOf("OPMDRV")));
  EXPECT_EQ(RunIn(scratch.Work(), "image.d88"), 1);

  const RunReport& report = LastSoundcutReport();
  EXPECT_EQ(report.exitStatus, 1);
  EXPECT_TRUE(report.imageOpened);
  EXPECT_FALSE(report.readFailed);
  ASSERT_EQ(report.diskCount, 2);
  const struct {
    int32_t disk, region;
    RegionOutcome outcome;
    int32_t bytes, missing;
  } expected[] = {
      {0, 0, RegionOutcome::Cut, 2048, 0},   {0, 1, RegionOutcome::NotWritten, 0, 0},
      {0, 2, RegionOutcome::Cut, 6144, 0},   {0, 3, RegionOutcome::Cut, 10240, 0},
      {1, 1, RegionOutcome::NotWritten, 0, 0}, {1, 3, RegionOutcome::SectorsMissing, 0, 1},
  };
  for (const auto& item : expected) {
    const DiskReport& disk = report.disks[item.disk];
    ASSERT_EQ(disk.regionCount, 4);
    const RegionReport& region = disk.regions[item.region];
    EXPECT_STREQ(region.file, RegionTable[item.region].fileName);
    EXPECT_EQ(region.outcome, item.outcome) << item.disk << " " << region.file;
    EXPECT_EQ(region.bytes, item.bytes) << item.disk << " " << region.file;
    EXPECT_EQ(region.missingCount, item.missing) << item.disk << " " << region.file;
  }
  EXPECT_EQ(report.disks[0].index, 0);
  EXPECT_EQ(report.disks[1].index, 2);
  const MissingSector& missing = report.disks[1].regions[3].missing[0];
  EXPECT_EQ((std::vector<int32_t>{missing.track, missing.c, missing.h, missing.r, missing.n}),
            (std::vector<int32_t>{9, 4, 1, 3, 3}));

  // The next run, on no image at all, starts from nothing.
  EXPECT_EQ(RunIn(scratch.Work(), "absent.d88"), 1);
  EXPECT_FALSE(LastSoundcutReport().imageOpened);
  EXPECT_EQ(LastSoundcutReport().diskCount, 0);
}

}  // namespace
