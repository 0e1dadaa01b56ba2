// The digests of a region's file and of a disk's contents.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

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
    EXPECT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
    image.SelectDisk(0);  // selects none where there is none
    return DigestDiskContent(image, digest) ? Hex(digest) : "";
  }
  d88test::ScratchDir scratch;
  D88Image image;
};

// Tracks 1 and 2 with two records each; `count` for every record.
Disk SmallDisk(int count = 2) {
  Disk disk;
  disk.tracks[1] = {MakeRecord(0, 1, 1, 1, count, {1, 2, 3}), MakeRecord(0, 1, 2, 1, count, {4})};
  disk.tracks[2] = {MakeRecord(1, 0, 1, 1, count, {5, 6}), MakeRecord(1, 0, 2, 1, count, {})};
  return disk;
}

// The header's name, write protection and media type, and a record's other
// header bytes, make no difference; a record's data, its ID, its track, and
// where its data ends and the next record begins do.
TEST_F(FileDigestTest, ContentDigestIsOfTheRecordsAlone) {
  // Track, ID, data, data length: 01 00 01 01 01 01 02 03 03 00
  // 01 00 01 02 01 04 01 00  02 01 00 01 01 05 06 02 00  02 01 00 02 01 00 00
  const std::string original = ContentDigestOf(Build(SmallDisk()));
  ASSERT_EQ(original, "67773fd33d59e4bedb47dc6e2dc215bee983e90994a7b91ba6c3343547d347b0");
  Disk renamed = SmallDisk();
  renamed.name = "ANOTHER NAME";
  renamed.mediaType = 0x20;
  renamed.tracks[1][0].status = 0xB0;
  Bytes writeProtected = Build(renamed);
  writeProtected[0x1A] = 0x10;
  EXPECT_EQ(ContentDigestOf(writeProtected), original);

  Disk changedByte = SmallDisk();
  changedByte.tracks[2][0].data[1] ^= 1;
  Disk otherId = SmallDisk();
  otherId.tracks[1][1].n = 2;
  // Track 1 as one record whose data holds the bytes that frame the second.
  Disk oneRecordForTwo = SmallDisk();
  oneRecordForTwo.tracks[1] = {MakeRecord(0, 1, 1, 1, 1, {1, 2, 3, 1, 0, 1, 2, 1, 4})};
  Disk otherTrack = SmallDisk(3);
  otherTrack.tracks[2].insert(otherTrack.tracks[2].begin(), otherTrack.tracks[1][1]);
  otherTrack.tracks[1] = {MakeRecord(0, 1, 1, 1, 1, {1, 2, 3})};
  for (const Disk& changed : {changedByte, otherId, oneRecordForTwo, otherTrack}) {
    EXPECT_NE(ContentDigestOf(Build(changed)), original);
  }
  EXPECT_EQ(ContentDigestOf(d88test::HeaderOnlyDisk(0x2B0)),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");  // no records
  EXPECT_EQ(ContentDigestOf(Bytes{}), "");  // no disk
}

#ifndef _WIN32
// For every image of the random family, each file soundcut wrote has the
// region digest of the last recognised disk that gives one, as sha256sum
// computes it, and no file is written where no disk gives a digest.
TEST_F(FileDigestTest, RegionDigestsAreThoseOfTheFilesSoundcutWrites) {
  int filesCompared = 0;
  for (unsigned seed = 0; seed < 200; ++seed) {
    SCOPED_TRACE("random:" + std::to_string(seed));
    for (const Region& region : RegionTable) {
      std::filesystem::remove(scratch.PathOf(region.fileName));
    }
    scratch.Put("image.d88", d88test::RandomImage(seed));
    scratch.Run(SOUNDCUT_PROGRAM, {"image.d88"});

    std::map<std::string, std::string> expected;
    ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
    unsigned char boot[BootSectorReadSize];
    for (int32_t disk = 0; disk < image.DiskCount(); ++disk) {
      image.SelectDisk(disk);
      UseGameSectorRange(image);
      for (const Region& region : RegionTable) {
        unsigned char digest[Sha256Size];
        if (IsGameDiskA(image, boot) && DigestRegion(image, region, digest)) {
          expected[region.fileName] = Hex(digest);
        }
      }
    }
    std::map<std::string, std::string> written;
    const std::string sumAll = "sha256sum PSGDRV OPMDRV PSGMUS OPMMUS 2>/dev/null";
    std::istringstream sums(scratch.Run("sh", {"-c", sumAll}).out);
    for (std::string digest, name; sums >> digest >> name;) written[name] = digest;
    EXPECT_EQ(written, expected);
    filesCompared += static_cast<int>(written.size());
  }
  EXPECT_GT(filesCompared, 300);
}
#endif

}  // namespace
