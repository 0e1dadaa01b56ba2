#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "d88_builder.h"
#include "d88_image.h"
#include "program_run.h"

using d88test::Build;
using d88test::Bytes;
using d88test::Disk;
using d88test::MakeRecord;

namespace {

// Track 2 holds 16 records recorded in the order R16, R15, ..., R1.
Disk SixteenRecordDisk() {
  Disk disk;
  for (int r = 16; r >= 1; --r) {
    disk.tracks[2].push_back(MakeRecord(1, 0, r, 1, 16, Bytes(256, static_cast<uint8_t>(r))));
  }
  return disk;
}

Bytes Ids(int from, int count) {
  Bytes ids;
  for (int i = 0; i < count; ++i) {
    // One byte at a time: g++ 12 at -O3 misreads an initializer-list insert
    // as an overflow (-Wstringop-overflow).
    for (int byte : {1, 0, 16 - from - i, 1}) ids.push_back(static_cast<uint8_t>(byte));
  }
  return ids;
}

class ListSectorIdsTest : public ::testing::Test {
 protected:
  void OpenBytes(const Bytes& bytes) {
    scratch.Put("image.d88", bytes);
    ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
    ASSERT_TRUE(image.SelectDisk(0));
  }
  // Lists into a buffer pre-filled with 0xEE; returns what was written.
  Bytes List(int track, int32_t capacity) {
    std::memset(buffer, 0xEE, sizeof buffer);
    const int32_t written = image.ListSectorIds(track, buffer, capacity);
    EXPECT_EQ(buffer[written > 0 ? written : 0], 0xEE) << "written past the result";
    return Bytes(buffer, buffer + (written > 0 ? written : 0));
  }

  d88test::ScratchDir scratch;
  D88Image image;
  unsigned char buffer[256];
};

TEST_F(ListSectorIdsTest, ListsIdsInRecordedOrderUpToCapacity) {
  OpenBytes(Build(SixteenRecordDisk()));
  EXPECT_EQ(List(2, 64), Ids(0, 16));
  EXPECT_EQ(List(2, 200), Ids(0, 16));
  EXPECT_EQ(List(2, 20), Ids(0, 5));
  EXPECT_EQ(List(2, 6), Ids(0, 1));  // never half an entry
  EXPECT_EQ(List(2, 3), Bytes{});
  EXPECT_EQ(List(2, 0), Bytes{});
  EXPECT_EQ(List(2, -4), Bytes{});
}

TEST_F(ListSectorIdsTest, AbsentTracksListNothing) {
  Disk disk = SixteenRecordDisk();
  disk.trackEntries[3] = -1;
  disk.trackEntries[4] = 1 << 30;
  OpenBytes(Build(disk));
  for (int track : {0, 3, 4, 164, -1}) EXPECT_EQ(List(track, 64), Bytes{}) << track;
  image.Open(nullptr);
  EXPECT_EQ(List(2, 64), Bytes{});
}

TEST_F(ListSectorIdsTest, ListingEndsWhereTheSectorSearchEnds) {
  Disk zeroCount = SixteenRecordDisk();
  zeroCount.tracks[2][3].count = 0;  // ends the listing before it is stored
  OpenBytes(Build(zeroCount));
  EXPECT_EQ(List(2, 64), Ids(0, 3));

  Disk lowCount = SixteenRecordDisk();
  lowCount.tracks[2][5].count = 3;  // stored, then ends the listing
  OpenBytes(Build(lowCount));
  EXPECT_EQ(List(2, 64), Ids(0, 6));
}

TEST_F(ListSectorIdsTest, HeaderCutOffByTheEndOfTheFileIsNotListed) {
  Bytes bytes = Build(SixteenRecordDisk());
  bytes.resize(688 + 4 * (16 + 256) + 10);  // 10 bytes of the fifth header
  OpenBytes(bytes);
  EXPECT_EQ(List(2, 64), Ids(0, 4));
}

// The map's listing: the same walk, each ID followed by the record's
// data-size field, little-endian, its density, deleted-data and status
// bytes, and never half an entry.
TEST_F(ListSectorIdsTest, RecordListingAddsTheRestOfEachHeader) {
  Disk disk;
  disk.tracks[1] = {MakeRecord(1, 0, 2, 3, 2, Bytes(1024)), MakeRecord(1, 0, 1, 3, 2, Bytes(5))};
  disk.tracks[1][1].dataSizeField = 0xABCD;  // the last record: its data is never skipped
  disk.tracks[1][1].density = 0x40;
  disk.tracks[1][1].deleted = 0x10;
  disk.tracks[1][1].status = 0xB0;
  OpenBytes(Build(disk));
  std::memset(buffer, 0xEE, sizeof buffer);
  ASSERT_EQ(image.ListSectorRecords(1, buffer, 19), 18);
  EXPECT_EQ(Bytes(buffer, buffer + 19), (Bytes{1, 0, 2, 3, 0x00, 0x04, 0, 0, 0, 1, 0, 1, 3, 0xCD,
                                               0xAB, 0x40, 0x10, 0xB0, 0xEE}));
  EXPECT_EQ(image.ListSectorRecords(1, buffer, 17), 9);
  EXPECT_EQ(image.ListSectorRecords(1, buffer, 8), 0);
}

// Each record's R and data, joined from the pieces ReadTrackRecords gives.
struct RecordsRead {
  void Record(const SectorHeader& header) { records.push_back({static_cast<uint8_t>(header.r)}); }
  void Data(const unsigned char* bytes, int32_t size) {
    records.back().insert(records.back().end(), bytes, bytes + size);
    largestPiece = std::max(largestPiece, size);
  }
  std::vector<Bytes> records;
  int32_t largestPiece = 0;
};

// The listing's walk (here cut short by a count of 2), with every record's
// data in pieces, the last one's too, as far as the image holds it.
TEST_F(ListSectorIdsTest, RecordsComeWithTheirDataAsTheListingWalks) {
  Disk disk;
  disk.tracks[1] = {MakeRecord(1, 0, 7, 3, 3, Bytes(2500, 0x11)),
                    MakeRecord(1, 0, 8, 0, 2, Bytes{}), MakeRecord(1, 0, 9, 1, 3, Bytes{})};
  disk.tracks[2] = {MakeRecord(1, 1, 9, 1, 1, Bytes{1, 2, 3})};
  Bytes bytes = Build(disk);
  bytes.pop_back();
  OpenBytes(bytes);
  RecordsRead read;
  for (const int track : {1, 2, 3}) ASSERT_TRUE(image.ReadTrackRecords(track, read));
  Bytes first(2500, 0x11);
  first.insert(first.begin(), 7);
  EXPECT_EQ(read.records, (std::vector<Bytes>{first, {8}, {9, 1, 2}}));
  EXPECT_EQ(read.largestPiece, D88Image::RecordPieceSize);
}

}  // namespace
