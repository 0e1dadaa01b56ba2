// The report of a soundcut run, driven in-process as the page drives it:
// what each region of each recognised disk came to, and nothing of one run
// left in the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "d88_builder.h"
#include "image_outcome.h"
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

// The verdict and, per file, the disk its bytes came from and the later
// disks that failed to give it, for images of each kind.
TEST(SoundcutReport, OutcomeSaysWhatBecameOfEachFile) {
  d88test::Disk lacksOpmmus = d88test::GameDiskA("LACKS", 1);
  lacksOpmmus.tracks[9].erase(lacksOpmmus.tracks[9].begin() + 2);  // OPMMUS's C4 H1 R3
  d88test::Disk lacksPsgdrv = d88test::GameDiskA("LACKS", 1);
  lacksPsgdrv.tracks[8].erase(lacksPsgdrv.tracks[8].begin() + 1);  // PSGDRV's C4 H0 R2
  const d88test::Bytes game = d88test::Build(d88test::GameDiskA());
  const std::string text(1024, 'x');
  const struct {
    const char* kind;
    d88test::Bytes image;
    ImageVerdict verdict;
    int32_t from[RegionCount];
    int32_t failedDisk[RegionCount];  // the one later disk that failed, or -1
  } cases[] = {
      {"one disk A", game, ImageVerdict::Cut, {0, 0, 0, 0}, {-1, -1, -1, -1}},
      {"a later disk lacks a sector", d88test::Concat({game, d88test::Build(lacksOpmmus)}),
       ImageVerdict::Cut, {1, 1, 1, 0}, {-1, -1, -1, 1}},
      {"the only disk lacks a sector", d88test::Build(lacksPsgdrv), ImageVerdict::PartlyCut,
       {-1, 0, 0, 0}, {0, -1, -1, -1}},
      {"each disk lacks another file", d88test::Concat({d88test::Build(lacksPsgdrv), d88test::Build(lacksOpmmus)}),
       ImageVerdict::Cut, {1, 1, 1, 0}, {-1, -1, -1, 1}},
      {"no disk A", d88test::Build(d88test::OrdinaryDisk("OTHER")), ImageVerdict::NoDiskA,
       {-1, -1, -1, -1}, {-1, -1, -1, -1}},
      {"a blank disk", d88test::HeaderOnlyDisk(0x2B0), ImageVerdict::NoDiskA, {-1, -1, -1, -1},
       {-1, -1, -1, -1}},
      {"text", d88test::Bytes(text.begin(), text.end()), ImageVerdict::NotD88Image,
       {-1, -1, -1, -1}, {-1, -1, -1, -1}},
      {"too short for a header", d88test::Bytes(100, 0), ImageVerdict::NotD88Image,
       {-1, -1, -1, -1}, {-1, -1, -1, -1}},
      {"empty", d88test::Bytes(), ImageVerdict::Empty, {-1, -1, -1, -1}, {-1, -1, -1, -1}},
  };
  static ImageOutcome outcome;
  for (const auto& item : cases) {
    d88test::ScratchDir scratch;
    scratch.Put("image.d88", item.image);
    RunIn(scratch.Work(), "image.d88");
    DecideImageOutcome(LastSoundcutReport(), outcome);
    EXPECT_EQ(outcome.verdict, item.verdict) << item.kind;
    for (int32_t i = 0; i < RegionCount; ++i) {
      const FileOutcome& file = outcome.files[i];
      EXPECT_EQ(file.fromDisk, item.from[i]) << item.kind << " " << file.file;
      EXPECT_EQ(file.bytes, file.fromDisk < 0 ? 0 : RegionTable[i].length) << item.kind << " " << file.file;
      EXPECT_EQ(file.failureCount, item.failedDisk[i] < 0 ? 0 : 1) << item.kind << " " << file.file;
      if (file.failureCount == 1) {
        EXPECT_EQ(file.failures[0].disk, item.failedDisk[i]) << item.kind;
      }
    }
  }
  // The run on nothing at all says so, whatever the one before found.
  d88test::ScratchDir scratch;
  RunIn(scratch.Work(), "absent.d88");
  DecideImageOutcome(LastSoundcutReport(), outcome);
  EXPECT_EQ(outcome.verdict, ImageVerdict::NotRun);
}

}  // namespace
