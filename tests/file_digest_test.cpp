// The digests of a region's file and of a disk's contents.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "boot_sector.h"
#include "d88_builder.h"
#include "file_digest.h"
#include "game_disk.h"
#include "program_run.h"

using d88test::Build;
using d88test::Bytes;
using d88test::Disk;
using d88test::MakeRecord;

namespace {

std::string Hex(const unsigned char (&digest)[Sha256Size]) {
  char hex[Sha256HexSize];
  WriteSha256Hex(digest, hex);
  return hex;
}

class FileDigestTest : public ::testing::Test {
 protected:
  // The content digest of the image's first disk; "" when there is none.
  std::string ContentDigestOf(const Bytes& bytes) {
    scratch.Put("image.d88", bytes);
    unsigned char digest[Sha256Size];
    if (!image.Open(scratch.PathOf("image.d88").c_str()) || !image.SelectDisk(0) ||
        !DigestDiskContent(image, digest)) {
      return "";
    }
    return Hex(digest);
  }

  d88test::ScratchDir scratch;
  D88Image image;
};

// Tracks 1 and 2 with two records each.
Disk SmallDisk() {
  Disk disk;
  disk.name = "SMALL";
  disk.tracks[1] = {MakeRecord(0, 1, 1, 1, 2, Bytes{1, 2, 3}), MakeRecord(0, 1, 2, 1, 2, Bytes{4})};
  disk.tracks[2] = {MakeRecord(1, 0, 1, 1, 2, Bytes{5, 6}), MakeRecord(1, 0, 2, 1, 2, Bytes{})};
  return disk;
}

// Every record states its track's true count, so that each walk sees
// every record.
Disk Counted(Disk disk) {
  for (auto& track : disk.tracks) {
    for (d88test::Record& record : track.second) record.count = static_cast<int>(track.second.size());
  }
  return disk;
}

// The header's name, write protection and media type, and the records'
// other header bytes, make no difference; any change of a record's ID, its
// data, the track it is on, or where one record's data ends and the next
// one's begins does.
TEST_F(FileDigestTest, ContentDigestIsOfTheRecordsAlone) {
  // The digest of each record's track, ID, data and data length:
  // 01 00 01 01 01 01 02 03 03 00  01 00 01 02 01 04 01 00
  // 02 01 00 01 01 05 06 02 00  02 01 00 02 01 00 00
  const std::string original = ContentDigestOf(Build(SmallDisk()));
  ASSERT_EQ(original, "67773fd33d59e4bedb47dc6e2dc215bee983e90994a7b91ba6c3343547d347b0");

  Disk renamed = SmallDisk();
  renamed.name = "ANOTHER NAME";
  renamed.mediaType = 0x20;
  renamed.tracks[1][0].status = 0xB0;
  Bytes protectedCopy = Build(renamed);
  protectedCopy[0x1A] = 0x10;
  EXPECT_EQ(ContentDigestOf(protectedCopy), original);

  Disk changedByte = SmallDisk();
  changedByte.tracks[2][0].data[1] ^= 1;
  // Track 1 as one record whose data holds the bytes that frame the second
  // record and its data.
  Disk oneRecordForTwo = SmallDisk();
  oneRecordForTwo.tracks[1][0].data = {1, 2, 3, 1, 0, 1, 2, 1, 4};
  oneRecordForTwo.tracks[1].pop_back();
  Disk otherTrack = SmallDisk();
  otherTrack.tracks[2].insert(otherTrack.tracks[2].begin(), otherTrack.tracks[1][1]);
  otherTrack.tracks[1].pop_back();
  Disk otherId = SmallDisk();
  otherId.tracks[1][1].n = 2;
  for (const Disk& changed : {changedByte, oneRecordForTwo, otherTrack, otherId}) {
    EXPECT_NE(ContentDigestOf(Build(Counted(changed))), original);
  }
  EXPECT_EQ(ContentDigestOf(d88test::HeaderOnlyDisk(0x2B0)),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");  // no records
  EXPECT_EQ(ContentDigestOf(Bytes{}), "");  // no disk
}

#ifndef _WIN32
const std::string Soundcut = SOUNDCUT_PROGRAM;

// Each file's sha256sum digest, by name, of the files soundcut wrote.
std::map<std::string, std::string> WrittenFileDigests(const d88test::ScratchDir& scratch) {
  std::vector<std::string> files;
  for (const Region& region : RegionTable) {
    if (std::filesystem::exists(scratch.PathOf(region.fileName))) files.push_back(region.fileName);
  }
  std::map<std::string, std::string> digests;
  if (files.empty()) return digests;
  const d88test::RunResult sums = scratch.Run("sha256sum", files);
  EXPECT_EQ(sums.exitCode, 0) << sums.err;
  std::istringstream lines(sums.out);
  std::string digest;
  std::string name;
  while (lines >> digest >> name) digests[name] = digest;
  return digests;
}

// For every image of the random family: the region digest of the last
// recognised disk that gives each file is that file's sha256sum, and a
// file is written exactly when some disk gives a digest.
TEST_F(FileDigestTest, RegionDigestsAreThoseOfTheFilesSoundcutWrites) {
  int filesCompared = 0;
  for (unsigned seed = 0; seed < 200; ++seed) {
    SCOPED_TRACE("random:" + std::to_string(seed));
    for (const Region& region : RegionTable) std::filesystem::remove(scratch.PathOf(region.fileName));
    scratch.Put("image.d88", d88test::RandomImage(seed));
    scratch.Run(Soundcut, {"image.d88"});

    std::map<std::string, std::string> expected;
    ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
    unsigned char boot[BootSectorReadSize];
    for (int32_t disk = 0; disk < image.DiskCount(); ++disk) {
      image.SelectDisk(disk);
      UseGameSectorRange(image);
      if (!IsGameDiskA(image, boot)) continue;
      for (const Region& region : RegionTable) {
        unsigned char digest[Sha256Size];
        if (DigestRegion(image, region, digest)) expected[region.fileName] = Hex(digest);
      }
    }
    EXPECT_EQ(WrittenFileDigests(scratch), expected);
    filesCompared += static_cast<int>(expected.size());
  }
  EXPECT_GT(filesCompared, 300);
}
#endif

}  // namespace
