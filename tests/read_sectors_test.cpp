#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d88_builder.h"
#include "d88_image.h"
#include "program_run.h"

using d88test::Build;
using d88test::Bytes;
using d88test::Disk;
using d88test::GameDiskA;
using d88test::MakeRecord;
using d88test::SampleRun;

namespace {

class ReadSectorsTest : public ::testing::Test {
 protected:
  void OpenDisk(const Disk& disk) {
    scratch.Put("image.d88", Build(disk));
    ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
    ASSERT_TRUE(image.SelectDisk(0));
    image.SetSectorRange(1, 5);
  }
  Bytes Read(int track, int c, int h, int r, int n, int32_t total) {
    buffer.assign(total > 0 ? total : 0, 0);
    got = image.ReadSectors(track, c, h, r, n, buffer.data(), total);
    return Bytes(buffer.begin(), buffer.begin() + (got > 0 ? got : 0));
  }

  d88test::ScratchDir scratch;
  D88Image image;
  Bytes buffer;
  int32_t got = -1;
};

TEST_F(ReadSectorsTest, RunsCrossFromHeadOneToTheNextCylinder) {
  OpenDisk(GameDiskA());
  EXPECT_EQ(Read(7, 3, 1, 1, 3, 6144), SampleRun(7, 1, 6));  // ends on C4 H0 R1
  EXPECT_EQ(got, 6144);
  EXPECT_EQ(Read(9, 4, 1, 1, 3, 10240), SampleRun(9, 1, 10));  // C4 H1 to C5 H0
  EXPECT_EQ(Read(8, 4, 0, 4, 3, 4096), SampleRun(8, 4, 4));    // C4 H0 to C4 H1
}

TEST_F(ReadSectorsTest, FindsSectorsRecordedOutOfOrder) {
  Disk disk = GameDiskA();
  std::swap(disk.tracks[7][0], disk.tracks[7][4]);
  std::swap(disk.tracks[7][1], disk.tracks[7][3]);
  OpenDisk(disk);
  EXPECT_EQ(Read(7, 3, 1, 1, 3, 6144), SampleRun(7, 1, 6));
}

// From lastSector a run goes on at firstSector of the next track.
TEST_F(ReadSectorsTest, RunsWrapToTheFirstSectorOfTheRange) {
  OpenDisk(GameDiskA());
  image.SetSectorRange(2, 4);
  Bytes expected = SampleRun(9, 2, 3);
  const Bytes next = d88test::SampleSector(10, 2);
  expected.insert(expected.end(), next.begin(), next.end());
  EXPECT_EQ(Read(9, 4, 1, 2, 3, 4096), expected);
}

TEST_F(ReadSectorsTest, LastChunkIsCutToTheRequest) {
  OpenDisk(GameDiskA());
  Bytes expected = SampleRun(9, 1, 2);
  expected.resize(1500);
  EXPECT_EQ(Read(9, 4, 1, 1, 3, 1500), expected);
  expected.resize(1);
  EXPECT_EQ(Read(9, 4, 1, 1, 3, 1), expected);
}

TEST_F(ReadSectorsTest, MissingSectorEndsTheRun) {
  Disk disk = GameDiskA();
  disk.tracks[9].erase(disk.tracks[9].begin() + 2);  // R3
  OpenDisk(disk);
  EXPECT_EQ(Read(9, 4, 1, 1, 3, 10240), SampleRun(9, 1, 2));
  EXPECT_EQ(got, 2 * 1024);
}

TEST_F(ReadSectorsTest, StartAboveLastSectorNeverChangesTrack) {
  Disk disk = GameDiskA();
  disk.tracks[9] = {MakeRecord(4, 1, 6, 3, 2, Bytes(1024, 6)),
                    MakeRecord(4, 1, 7, 3, 2, Bytes(1024, 7))};
  OpenDisk(disk);
  // R6, R7, then R8 of the same track, which is missing; track 10 is intact.
  EXPECT_EQ(Read(9, 4, 1, 6, 3, 5 * 1024).size(), 2048u);
}

TEST_F(ReadSectorsTest, ShortSectorEndsTheRunAndLongOneGivesOneChunk) {
  Disk disk = GameDiskA();
  disk.tracks[9][1].data.resize(1000);
  disk.tracks[9][3].data.resize(1100, 0xAB);
  OpenDisk(disk);
  EXPECT_EQ(Read(9, 4, 1, 1, 3, 2048).size(), 1024u);
  Bytes expected = SampleRun(9, 4, 2);
  EXPECT_EQ(Read(9, 4, 1, 4, 3, 2048), expected);
}

TEST_F(ReadSectorsTest, NothingIsReadForEmptyRequestsOrImpossibleSizes) {
  OpenDisk(GameDiskA());
  unsigned char probe[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(image.ReadSectors(9, 4, 1, 1, 3, probe, 0), 0);
  EXPECT_EQ(image.ReadSectors(9, 4, 1, 1, 3, probe, -4), 0);
  EXPECT_EQ(probe[0], 0xEE);
  // Size codes whose sector size passes 32 bits, and negative ones.
  for (int n : {24, 31, 35, -1, INT32_MIN}) {
    EXPECT_EQ(image.ReadSectors(9, 4, 1, 1, n, probe, 4), 0) << n;
  }
}

// The lookup the page's map and d88list --json call says Whole exactly
// where a read of the bytes gets them all, and names what else it finds.
TEST_F(ReadSectorsTest, LookUpSectorSaysWhatAReadFinds) {
  using State = D88Image::SectorState;
  Disk disk = GameDiskA();
  disk.tracks[9][1].data.resize(1000);  // R2 short
  disk.tracks[9][2].n = 2;              // R3 with another size code
  disk.tracks[9].erase(disk.tracks[9].begin() + 3);  // R4 missing
  // The image ends 24 bytes into the data of its last record.
  Bytes bytes = Build(disk);
  const int lastTrack = disk.tracks.rbegin()->first;
  const int lastR = disk.tracks.rbegin()->second.back().r;
  bytes.resize(bytes.size() - 1000);
  scratch.Put("image.d88", bytes);
  ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
  ASSERT_TRUE(image.SelectDisk(0));
  const struct {
    int track, r, wanted;
    State state;
  } cases[] = {
      {9, 1, 1024, State::Whole},     {9, 1, 1025, State::Short},
      {9, 2, 1000, State::Whole},     {9, 2, 1024, State::Short},
      {9, 3, 1024, State::OtherSize}, {9, 4, 1024, State::Missing},
      {lastTrack, lastR, 24, State::Whole}, {lastTrack, lastR, 1024, State::Short},
  };
  for (const auto& item : cases) {
    const int c = item.track / 2, h = item.track % 2;
    EXPECT_EQ(image.LookUpSector(item.track, c, h, item.r, 3, item.wanted), item.state)
        << item.track << " R" << item.r << " " << item.wanted;
    buffer.assign(2048, 0);
    const bool whole =
        image.ReadSector(item.track, c, h, item.r, 3, buffer.data(), item.wanted) == item.wanted;
    EXPECT_EQ(whole, item.state == State::Whole) << item.track << " R" << item.r;
  }
}

}  // namespace
