#include "d88_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "d88_builder.h"
#include "program_run.h"

using d88test::Build;
using d88test::Bytes;
using d88test::Concat;
using d88test::Disk;
using d88test::HeaderOnlyDisk;
using d88test::MakeRecord;

namespace {

// Opens images written into a scratch directory.
class ImageTest : public ::testing::Test {
 protected:
  bool OpenBytes(const Bytes& bytes) {
    scratch.Put("image.d88", bytes);
    return image.Open(scratch.PathOf("image.d88").c_str());
  }
  bool OpenDisk(const Disk& disk) {
    return OpenBytes(Build(disk)) && image.SelectDisk(0);
  }

  d88test::ScratchDir scratch;
  D88Image image;
  unsigned char buffer[2048] = {};
};

Bytes Filled(size_t size, uint8_t value) { return Bytes(size, value); }

// Writes `pieces` at their offsets; the gaps between them take no disk space.
void WriteSparse(const std::string& path, const std::vector<std::pair<int64_t, Bytes>>& pieces) {
  std::ofstream out(path, std::ios::binary);
  for (const auto& [offset, bytes] : pieces) {
    out.seekp(offset);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_TRUE(out.good());
}

// A track of five 256-byte records R1..R5 whose data bytes are their R.
std::vector<d88test::Record> FiveRecords(int count) {
  std::vector<d88test::Record> records;
  for (int r = 1; r <= 5; ++r) {
    records.push_back(MakeRecord(0, 0, r, 1, count, Filled(256, static_cast<uint8_t>(r))));
  }
  return records;
}

// --- Scanning the chain of disks ---

TEST_F(ImageTest, MissingFileFailsToOpen) {
  EXPECT_FALSE(image.Open(scratch.PathOf("absent.d88").c_str()));
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_FALSE(image.SelectDisk(0));
}

TEST_F(ImageTest, FilesWithoutAWholeHeaderHoldNoDisk) {
  EXPECT_TRUE(OpenBytes({}));
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_TRUE(OpenBytes(Filled(687, 0x10)));
  EXPECT_EQ(image.DiskCount(), 0);
}

TEST_F(ImageTest, DiskWhoseSizeIsTheFileLengthIsTheOnlyDisk) {
  ASSERT_TRUE(OpenBytes(Build(d88test::GameDiskA())));
  EXPECT_EQ(image.DiskCount(), 1);
}

TEST_F(ImageTest, ThirdDiskStartsAtTheSumOfTheFirstTwoSizes) {
  Disk first;
  first.name = "ONE";
  first.tracks[0] = FiveRecords(5);
  Disk second;
  second.name = "TWO";
  Disk third;
  third.name = "THREE";
  third.mediaType = 0x20;
  ASSERT_TRUE(OpenBytes(Concat({Build(first), Build(second), Build(third)})));
  EXPECT_EQ(image.DiskCount(), 3);
  ASSERT_TRUE(image.SelectDisk(2));
  EXPECT_EQ(image.CurrentDisk(), 2);
  EXPECT_STREQ(image.DiskName(), "THREE");
  EXPECT_EQ(image.MediaType(), 0x20);
}

TEST_F(ImageTest, ScanStopsAtSixtyFourDisks) {
  std::vector<Bytes> disks(70, HeaderOnlyDisk(688));
  ASSERT_TRUE(OpenBytes(Concat(disks)));
  EXPECT_EQ(image.DiskCount(), 64);
  EXPECT_TRUE(image.SelectDisk(63));
  EXPECT_FALSE(image.SelectDisk(64));
}

TEST_F(ImageTest, DiskOfSizeZeroOrNegativeEndsTheChain) {
  for (int32_t size : {0, -1, -688, INT32_MIN}) {
    SCOPED_TRACE(size);
    ASSERT_TRUE(OpenBytes(Concat({HeaderOnlyDisk(688, "FIRST"), HeaderOnlyDisk(size, "BAD"),
                                  HeaderOnlyDisk(688, "AFTER")})));
    EXPECT_EQ(image.DiskCount(), 2);
    ASSERT_TRUE(image.SelectDisk(1));
    EXPECT_STREQ(image.DiskName(), "BAD");
  }
}

TEST_F(ImageTest, ScanStopsWhereTheNextOffsetWouldOverflow) {
  // 0x7FFFFFFF then 688 more would pass the largest 32-bit offset.
  ASSERT_TRUE(OpenBytes(HeaderOnlyDisk(INT32_MAX)));
  EXPECT_EQ(image.DiskCount(), 1);
  // Two disks of 1 GiB: a third header stands at 2^31, which no disk offset
  // can name, so the scan must stop before reading it.
  const std::string path = scratch.PathOf("sparse.d88");
  constexpr int32_t OneGiB = 0x40000000;
  WriteSparse(path, {{0, HeaderOnlyDisk(OneGiB)},
                     {OneGiB, HeaderOnlyDisk(OneGiB)},
                     {int64_t{2} * OneGiB, HeaderOnlyDisk(688)}});
  ASSERT_TRUE(image.Open(path.c_str()));
  EXPECT_EQ(image.DiskCount(), 2);
  image.Open(nullptr);
  std::filesystem::remove(path);
}

// --- Selecting a disk ---

TEST_F(ImageTest, FailedSelectionLeavesNoDiskSelected) {
  ASSERT_TRUE(OpenBytes(Concat({HeaderOnlyDisk(688, "ONE"), HeaderOnlyDisk(688, "TWO")})));
  ASSERT_TRUE(image.SelectDisk(1));
  for (int32_t index : {2, -1}) {
    EXPECT_FALSE(image.SelectDisk(index));
    EXPECT_EQ(image.CurrentDisk(), -1);
    EXPECT_EQ(image.MediaType(), -1);
    EXPECT_EQ(image.DiskSize(), 0);
    EXPECT_EQ(image.Judgement(), HeaderJudgement::DiskSize);
    EXPECT_STREQ(image.DiskName(), "");
  }
}

// Each disk's header is judged as it is selected, from the header alone:
// a disk cut short by the end of the file is still a D88 disk.
TEST_F(ImageTest, JudgesTheSelectedDisksHeader) {
  Bytes foreign = HeaderOnlyDisk(688, "FOREIGN");
  foreign[DiskHeader::MediaTypeOffset] = 0x69;
  const Bytes sample = Build(d88test::GameDiskA());
  ASSERT_TRUE(OpenBytes(Concat({foreign, Bytes(sample.begin(), sample.begin() + 1000)})));
  ASSERT_TRUE(image.SelectDisk(0));
  EXPECT_EQ(image.Judgement(), HeaderJudgement::MediaType);
  ASSERT_TRUE(image.SelectDisk(1));
  EXPECT_EQ(image.Judgement(), HeaderJudgement::D88);
  EXPECT_GT(image.DiskSize(), 1000);
}

TEST_F(ImageTest, ClosedReaderSelectsAndFindsNothing) {
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_EQ(image.CurrentDisk(), -1);
  EXPECT_EQ(image.MediaType(), -1);
  EXPECT_EQ(image.DiskSize(), 0);
  EXPECT_STREQ(image.DiskName(), "");
  EXPECT_FALSE(image.SelectDisk(0));
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 0);
  ASSERT_TRUE(OpenDisk(d88test::GameDiskA()));
  EXPECT_TRUE(image.Open(nullptr));
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_EQ(image.CurrentDisk(), -1);
  EXPECT_EQ(image.MediaType(), -1);
  EXPECT_EQ(image.DiskSize(), 0);
  EXPECT_STREQ(image.DiskName(), "");
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 0);
}

TEST_F(ImageTest, OpeningAgainForgetsTheSelectedDisk) {
  ASSERT_TRUE(OpenDisk(d88test::GameDiskA()));
  ASSERT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  // Same file, no disk selected yet: the old track table must not be used.
  ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
  EXPECT_EQ(image.DiskCount(), 1);
  EXPECT_EQ(image.CurrentDisk(), -1);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 0);
}

#ifdef __GLIBC__
// An image on a medium whose reads fail (EIO, the stream's error flag set)
// once they reach the byte at `failAt`, as a failing USB stick's do; and
// whose seeks fail, leaving the position where it was, once `seeksFail`.
struct FailingMedium {
  const Bytes* bytes;
  int64_t failAt;
  int64_t position = 0;
  bool seeksFail = false;
};

ssize_t ReadMedium(void* cookie, char* out, size_t size) {
  FailingMedium& medium = *static_cast<FailingMedium*>(cookie);
  const int64_t left = static_cast<int64_t>(medium.bytes->size()) - medium.position;
  const int64_t count = std::max<int64_t>(0, std::min<int64_t>(left, static_cast<int64_t>(size)));
  if (medium.position <= medium.failAt && medium.failAt < medium.position + count) {
    errno = EIO;
    return -1;
  }
  std::memcpy(out, medium.bytes->data() + medium.position, static_cast<size_t>(count));
  medium.position += count;
  return count;
}

int SeekMedium(void* cookie, off64_t* offset, int whence) {
  FailingMedium& medium = *static_cast<FailingMedium*>(cookie);
  if (medium.seeksFail) {
    errno = EIO;
    return -1;
  }
  if (whence == SEEK_CUR) *offset += medium.position;
  if (whence == SEEK_END) *offset += static_cast<off64_t>(medium.bytes->size());
  medium.position = *offset;
  return 0;
}

FILE* Open(FailingMedium& medium) {
  return fopencookie(&medium, "rb", cookie_io_functions_t{ReadMedium, nullptr, SeekMedium, nullptr});
}

// Where a read fails, the reader tells it from the end of the file and
// finds nothing from then on: no disk count, selection or sector is made
// of a half-read image. Closing or opening again starts afresh. A failed
// seek reads nothing either.
TEST_F(ImageTest, FailedReadIsNoEndOfFileAndEndsEveryRead) {
  const Bytes bytes = Concat({Build(d88test::GameDiskA("ONE")), Build(d88test::GameDiskA("TWO"))});
  const int64_t secondDisk = static_cast<int64_t>(bytes.size() / 2);
  const int64_t track40 = bytes[0x20 + 4 * 40] | bytes[0x21 + 4 * 40] << 8 | bytes[0x22 + 4 * 40] << 16;
  // In the first header, in the second one, and in the first disk's track 40.
  for (const int64_t failAt : {int64_t{0}, secondDisk + 100, track40 + 16}) {
    FailingMedium medium{&bytes, failAt};
    ASSERT_TRUE(image.OpenStream(Open(medium))) << failAt;
    const bool scanFailed = failAt != track40 + 16;
    EXPECT_EQ(image.DiskCount(), scanFailed ? 0 : 2) << failAt;
    EXPECT_EQ(image.ReadFailed(), scanFailed) << failAt;
    if (!scanFailed) {
      ASSERT_TRUE(image.SelectDisk(0));
      EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
      EXPECT_EQ(image.ReadSectors(40, 20, 0, 1, 3, buffer, 2048), 0);
      EXPECT_TRUE(image.ReadFailed());
      EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 0);
      EXPECT_EQ(image.ListSectorIds(0, buffer, 64), 0);
      EXPECT_FALSE(image.SelectDisk(1));
    }
  }
  image.Open(nullptr);  // the last one failed
  EXPECT_FALSE(image.ReadFailed());
  FailingMedium sound{&bytes, static_cast<int64_t>(bytes.size())};
  ASSERT_TRUE(image.OpenStream(Open(sound)));
  EXPECT_FALSE(image.ReadFailed());
  EXPECT_EQ(image.DiskCount(), 2);
  // After a seek that failed, nothing is read from wherever the file was
  // left (here, the start of track 0 after the disk's header).
  ASSERT_TRUE(image.SelectDisk(0));
  sound.seeksFail = true;
  EXPECT_EQ(image.ListSectorIds(1, buffer, 64), 0);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 0);
}
#endif

// --- Finding sectors ---

TEST_F(ImageTest, FindsASectorByItsIdAnywhereInTheTrack) {
  Disk disk;
  disk.tracks[3] = {MakeRecord(9, 9, 2, 1, 3, Filled(256, 0xA2)),
                    MakeRecord(0, 1, 7, 2, 3, Filled(512, 0xB7)),
                    MakeRecord(9, 9, 1, 1, 3, Filled(256, 0xA1))};
  ASSERT_TRUE(OpenDisk(disk));
  EXPECT_EQ(image.ReadSector(3, 9, 9, 1, 1, buffer, 2048), 256);
  EXPECT_EQ(buffer[0], 0xA1);
  EXPECT_EQ(buffer[255], 0xA1);
  EXPECT_EQ(image.ReadSector(3, 0, 1, 7, 2, buffer, 2048), 512);
  EXPECT_EQ(buffer[511], 0xB7);
  // Every ID byte counts, and an argument outside 0..255 never matches.
  EXPECT_EQ(image.ReadSector(3, 9, 9, 1, 2, buffer, 2048), 0);
  EXPECT_EQ(image.ReadSector(3, 9 + 256, 9, 1, 1, buffer, 2048), 0);
  EXPECT_EQ(image.ReadSector(2, 9, 9, 1, 1, buffer, 2048), 0);
}

TEST_F(ImageTest, ReadIsClampedToMaxBytes) {
  Disk disk;
  disk.tracks[0] = {MakeRecord(0, 0, 1, 3, 1, Filled(1024, 0x33))};
  ASSERT_TRUE(OpenDisk(disk));
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 3, buffer, 256), 256);
  EXPECT_EQ(buffer[255], 0x33);
  EXPECT_EQ(buffer[256], 0xEE);
  for (int32_t maxBytes : {0, -1, INT32_MIN}) {
    EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 3, buffer + 1024, maxBytes), 0);
  }
  EXPECT_EQ(buffer[1024], 0xEE);
}

TEST_F(ImageTest, WalkEndsAfterTheRecordCountOfTheRecordInHand) {
  Disk disk;
  disk.tracks[0] = FiveRecords(5);
  disk.tracks[0].push_back(MakeRecord(0, 0, 6, 1, 5, Filled(256, 6)));  // beyond the count
  ASSERT_TRUE(OpenDisk(disk));
  EXPECT_EQ(image.ReadSector(0, 0, 0, 5, 1, buffer, 256), 256);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 6, 1, buffer, 256), 0);
}

TEST_F(ImageTest, CountsLowerThanThePositionEndTheWalk) {
  Disk disk;
  disk.tracks[0] = FiveRecords(5);
  disk.tracks[0][2].count = 2;  // third record claims a two-record track
  ASSERT_TRUE(OpenDisk(disk));
  EXPECT_EQ(image.ReadSector(0, 0, 0, 3, 1, buffer, 256), 256);  // still in hand
  EXPECT_EQ(image.ReadSector(0, 0, 0, 4, 1, buffer, 256), 0);
  EXPECT_FALSE(image.ReadFailed());  // an early end is no read error
}

TEST_F(ImageTest, ZeroCountRecordEndsTheWalkEvenWhenItsIdMatches) {
  Disk disk;
  disk.tracks[0] = FiveRecords(5);
  disk.tracks[0][1].count = 0;
  ASSERT_TRUE(OpenDisk(disk));
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 2, 1, buffer, 256), 0);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 3, 1, buffer, 256), 0);
}

// A track may hold up to 65,535 records; the walk reaches the last of them
// and not one record further.
TEST_F(ImageTest, WalkReachesTheLastRecordACountAllows) {
  for (int empty : {65534, 65535}) {
    Disk disk;
    std::vector<d88test::Record>& records = disk.tracks[0];
    records.assign(empty, MakeRecord(0xEE, 0xEE, 0xEE, 0xEE, 65535, {}));
    records.push_back(MakeRecord(0, 0, 1, 1, 65535, Filled(256, 0x42)));
    ASSERT_TRUE(OpenDisk(disk));
    EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), empty == 65534 ? 256 : 0) << empty;
  }
}

TEST_F(ImageTest, TruncatedTrackDeliversWhatIsThere) {
  Disk disk;
  disk.tracks[0] = FiveRecords(5);
  Bytes bytes = Build(disk);
  // Cut the image 100 bytes into R3's data: R3 is short, R4 has no header.
  bytes.resize(688 + 2 * (16 + 256) + 16 + 100);
  ASSERT_TRUE(OpenBytes(bytes));
  ASSERT_TRUE(image.SelectDisk(0));
  EXPECT_EQ(image.ReadSector(0, 0, 0, 2, 1, buffer, 256), 256);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 3, 1, buffer, 256), 100);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 4, 1, buffer, 256), 0);
}

TEST_F(ImageTest, AbsentTracksFindNothing) {
  Disk disk;
  disk.tracks[0] = FiveRecords(5);
  disk.trackEntries[1] = -688;        // would point back at the disk header
  disk.trackEntries[2] = 0x7FFFFFFF;  // beyond the disk's size
  ASSERT_TRUE(OpenDisk(disk));
  for (int32_t track : {1, 2, 5, 164, -1}) {
    EXPECT_EQ(image.ReadSector(track, 0, 0, 1, 1, buffer, 256), 0) << track;
  }
}

// Any entry from 1 up to the disk's size is a track, even one that starts
// inside the disk header: here the record header is header bytes 1-16 (ID
// "ABCD", count 1, one byte of data).
TEST_F(ImageTest, TrackMayStartAtOffsetOne) {
  Disk disk;
  disk.name = std::string("XABCD\x01\0\0\0\0\0\0\0\0\0\x01\0", 17);
  disk.trackEntries[5] = 1;
  ASSERT_TRUE(OpenDisk(disk));
  EXPECT_EQ(image.ReadSector(5, 'A', 'B', 'C', 'D', buffer, 256), 1);
}

// Skipping a record's data that ends around the reader's buffer refills
// (4 KiB after a seek, then 8 and 16 KiB) lands exactly on the next record.
TEST_F(ImageTest, SkipsLandExactlyAcrossBufferRefills) {
  for (int size : {4079, 4080, 4081, 4082, 12272, 12273, 12274, 28656, 28657, 28658}) {
    Disk disk;
    disk.tracks[0] = {MakeRecord(0, 0, 1, 1, 2, Filled(static_cast<size_t>(size), 0x11)),
                      MakeRecord(0, 0, 2, 1, 2, Bytes{1, 2, 3, 4})};
    ASSERT_TRUE(OpenDisk(disk));
    EXPECT_EQ(image.ReadSector(0, 0, 0, 2, 1, buffer, 256), 4) << size;
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 4})) << size;
  }
}

TEST_F(ImageTest, TrackEntryIsRelativeToTheSelectedDisk) {
  Disk first;
  first.tracks[0] = {MakeRecord(0, 0, 1, 1, 1, Filled(256, 0x11))};
  Disk second;
  second.tracks[0] = {MakeRecord(0, 0, 1, 1, 1, Filled(256, 0x22))};
  ASSERT_TRUE(OpenBytes(Concat({Build(first), Build(second)})));
  ASSERT_TRUE(image.SelectDisk(1));
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(buffer[0], 0x22);
}

// Positions past 2 GiB: disk 1 starts just below 2^31, so its track lies
// beyond what a 32-bit offset (or a 32-bit `long` seek) can reach. Where
// `long` is 64 bits the sector is found; where it is 32 bits (Windows) the
// seek is refused and the search finds nothing, without reading elsewhere.
TEST_F(ImageTest, SectorsBeyondTwoGiBAreFoundOnlyWhereSeeksReachThem) {
  constexpr int32_t SecondDisk = INT32_MAX - 255;
  Disk second;
  second.name = "FAR";
  second.tracks[0] = {MakeRecord(0, 0, 1, 1, 1, Filled(256, 0x5A))};
  const std::string path = scratch.PathOf("huge.d88");
  WriteSparse(path, {{0, HeaderOnlyDisk(SecondDisk)}, {SecondDisk, Build(second)}});
  ASSERT_TRUE(image.Open(path.c_str()));
  const int32_t found = image.SelectDisk(1) ? image.ReadSector(0, 0, 0, 1, 1, buffer, 256) : 0;
  if (sizeof(long) >= 8) {
    EXPECT_EQ(image.DiskCount(), 2);
    EXPECT_EQ(found, 256);
    EXPECT_EQ(buffer[0], 0x5A);
  } else {
    EXPECT_EQ(found, 0);
  }
  image.Open(nullptr);
  std::filesystem::remove(path);
}

}  // namespace
