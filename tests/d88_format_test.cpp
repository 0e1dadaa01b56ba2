#include <gtest/gtest.h>

#include "d88_builder.h"
#include "d88_format.h"
#include "le.h"

namespace {

TEST(LittleEndian, DecodesIndependentlyOfHostOrder) {
  const unsigned char ones[] = {0xFF, 0xFF, 0xFF, 0xFF};
  const unsigned char mixed[] = {0x78, 0x56, 0x34, 0x12};
  const unsigned char lowest[] = {0x00, 0x00, 0x00, 0x80};
  EXPECT_EQ(ReadLE16(ones), 65535);
  EXPECT_EQ(ReadLE16(mixed), 0x5678);
  EXPECT_EQ(ReadLE32(mixed), 0x12345678);
  EXPECT_EQ(ReadLE32(ones), -1);
  EXPECT_EQ(ReadLE32(lowest), INT32_MIN);
}

TEST(DiskHeaderRecord, NameStopsAtZeroAndKeepsSixteenBytes) {
  d88test::Disk disk;
  disk.name = "ABCDEFGHIJKLMNOPQ";  // 17 bytes, no terminator in the field
  disk.mediaType = 0xFE;
  disk.trackEntries[163] = -5;
  d88test::Bytes bytes = d88test::Build(disk);
  unsigned char raw[DiskHeader::Size];
  std::copy(bytes.begin(), bytes.begin() + DiskHeader::Size, raw);

  DiskHeader header = DecodeDiskHeader(raw);
  EXPECT_STREQ(header.name, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(header.mediaType, 0xFE);
  EXPECT_EQ(header.diskSize, DiskHeader::Size);
  EXPECT_EQ(header.trackOffsets[163], -5);

  raw[3] = 0x01;  // only a zero byte ends the name
  EXPECT_STREQ(DecodeDiskHeader(raw).name, "ABC\x01" "EFGHIJKLMNOP");
  raw[3] = 0;
  EXPECT_STREQ(DecodeDiskHeader(raw).name, "ABC");
}

}  // namespace
