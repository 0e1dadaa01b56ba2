#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

// A copy of `image` with `value` stored at `at`, `width` bytes little-endian.
d88test::Bytes With(d88test::Bytes image, size_t at, uint32_t value, int width = 4) {
  for (int i = 0; i < width; ++i) image.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
  return image;
}

// `image` as a writer of a 160-entry track table lays it out: the first
// track at 0x2A0, so that the last four entries hold its first bytes.
d88test::Bytes WithShortTable(d88test::Bytes image) {
  image.erase(image.begin() + DiskHeader::ShortTrackTableEnd, image.begin() + DiskHeader::Size);
  for (int32_t at = DiskHeader::DiskSizeOffset; at < DiskHeader::ShortTrackTableEnd; at += 4) {
    const int32_t value = ReadLE32(&image[at]);
    if (value != 0) image = With(image, at, static_cast<uint32_t>(value - 16));
  }
  return image;
}

TEST(DiskHeaderRecord, JudgedD88OnlyWithValuesWritersWrite) {
  using J = HeaderJudgement;
  const d88test::Bytes sample = d88test::Build(d88test::GameDiskA());
  const uint32_t size = static_cast<uint32_t>(sample.size());
  const auto entry = [](int track) { return DiskHeader::TrackTableOffset + 4 * track; };
  const d88test::Bytes shortTable = WithShortTable(sample);
  // Its first two tracks' entries swapped: the table still ends where the
  // earliest track starts.
  const d88test::Bytes swapped = With(With(shortTable, entry(0), ReadLE32(&shortTable[entry(1)])),
                                      entry(1), DiskHeader::ShortTrackTableEnd);
  std::string text;
  while (text.size() < DiskHeader::Size) text += "this is no disk ";
  const struct {
    const char* what;
    d88test::Bytes header;
    HeaderJudgement judgement;
  } cases[] = {
      {"blank disk", d88test::Build(d88test::Disk{}), J::D88},
      {"sample", sample, J::D88},
      {"protected 2HD", With(With(sample, 0x1A, 0x10, 1), 0x1B, 0x20, 1), J::D88},
      {"1DD", With(sample, 0x1B, 0x40, 1), J::D88},
      {"160-entry table", shortTable, J::D88},
      {"160-entry table, tracks out of order", swapped, J::D88},
      {"track at the end", With(sample, entry(100), size), J::D88},
      {"write protect 0x01", With(sample, 0x1A, 0x01, 1), J::WriteProtect},
      {"media 0x50", With(sample, 0x1B, 0x50, 1), J::MediaType},
      {"media 0x01, size 0", With(With(sample, 0x1B, 0x01, 1), 0x1C, 0), J::MediaType},
      {"size 687", d88test::HeaderOnlyDisk(687), J::DiskSize},
      {"size -5", d88test::HeaderOnlyDisk(-5), J::DiskSize},
      {"track in the table", With(sample, entry(5), 0x2AF), J::TrackOffset},
      {"track past the size", With(sample, entry(79), size + 1), J::TrackOffset},
      {"last entry negative", With(sample, entry(163), 0xFFFFFFFF), J::TrackOffset},
      {"160-entry table, a track before it", With(shortTable, entry(3), 0x100),
       J::TrackOffset},
      {"text", d88test::Bytes(text.begin(), text.end()), J::WriteProtect},
  };
  for (const auto& item : cases) {
    unsigned char raw[DiskHeader::Size];
    std::copy(item.header.begin(), item.header.begin() + DiskHeader::Size, raw);
    EXPECT_EQ(JudgeDiskHeader(DecodeDiskHeader(raw)), item.judgement) << item.what;
  }
}

}  // namespace
