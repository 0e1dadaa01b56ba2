// The document of an image as the page's module asks for it: records
// limited per track and in all, the boot and region records always shown;
// and the JSON strings of every document.
// (d88list --json, which shows every record, is checked whole by
// json_document_test.py.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "d88_builder.h"
#include "image_document.h"
#include "program_run.h"

namespace {

int32_t Count(const std::string& text, const std::string& needle) {
  int32_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

int32_t MoreInAll(const std::string& text) {
  int32_t more = 0;
  for (size_t at = text.find("\"more\":"); at != std::string::npos; at = text.find("\"more\":", at + 1)) {
    more += std::stoi(text.substr(at + 7));
  }
  return more;
}

// Everything written to `out`, which is closed.
std::string WrittenText(FILE* out) {
  std::string text(static_cast<size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  const size_t got = std::fread(&text[0], 1, text.size(), out);
  std::fclose(out);
  return text.substr(0, got);
}

// A JSON string is printable ASCII alone, safe on any terminal: every
// other character of well-formed UTF-8 (an image's POSIX path is bytes of
// any encoding) escaped, a pair of surrogates above U+FFFF, and every
// other byte as U+FFFD, at the edges of each sequence length too.
TEST(ImageDocument, JsonStringsAreAsciiAndKeepOnlyWellFormedUtf8) {
  const std::string bad = "\\uFFFD";
  const struct {
    std::string bytes;
    std::string json;
    size_t length;  // of `bytes` given; npos: all of them
  } cases[] = {
      {"a\"\\\x01\x1F\x7F ~", "a\\\"\\\\\\u0001\\u001F\\u007F ~", std::string::npos},
      {"\xC2\x80\xC2\x9B\xDF\xBF", "\\u0080\\u009B\\u07FF", std::string::npos},  // C1 CSI
      {"\xC1\xBF\x80", bad + bad + bad, std::string::npos},          // overlong, lone trail
      {"\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF", "\\u0800\\uD7FF\\uFFFF", std::string::npos},
      {"\xE0\x9F\xBF", bad + bad + bad, std::string::npos},          // overlong U+07FF
      {"\xED\xA0\x80", bad + bad + bad, std::string::npos},          // surrogate U+D800
      {"\xF0\x90\x80\x80\xF0\x9F\x98\x80", "\\uD800\\uDC00\\uD83D\\uDE00",
       std::string::npos},  // U+10000, U+1F600
      {"\xF0\x8F\xBF\xBF", bad + bad + bad + bad, std::string::npos},  // overlong U+FFFF
      {"\xF4\x8F\xBF\xBF", "\\uDBFF\\uDFFF", std::string::npos},  // U+10FFFF, the last
      {"\xF4\x90\x80\x80", bad + bad + bad + bad, std::string::npos},  // U+110000
      {"\xF5\x80\x80\x80", bad + bad + bad + bad, std::string::npos},
      {"\xE2\x82" "A", bad + bad + "A", std::string::npos},          // a sequence cut short
      {"\xE2\x82\xAC", bad + bad, 2},                                  // cut by the length
  };
  for (const auto& item : cases) {
    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    WriteJsonString(out, item.bytes.data(),
                    static_cast<int32_t>(std::min(item.length, item.bytes.size())));
    EXPECT_EQ(WrittenText(out), "\"" + item.json + "\"") << testing::PrintToString(item.bytes);
  }
}

TEST(ImageDocument, LimitsPlainRecordsAndAlwaysShowsTheBootAndRegionsOnes) {
  d88test::ScratchDir scratch;
  d88test::Disk disk = d88test::GameDiskA();
  for (int i = 0; i < 100; ++i) disk.tracks[90].push_back(d88test::MakeRecord(45, 0, i, 1, 100, {}));
  // A second copy of the boot sector's ID, and of PSGDRV's first sector
  // (C4 H0 R2): a read finds the first copy, and only that one is marked.
  for (const int track : {0, 8}) {
    std::vector<d88test::Record>& onTrack = disk.tracks[track];
    const d88test::Record copy = onTrack[track == 0 ? 0 : 1];
    onTrack.push_back(copy);
    for (d88test::Record& record : onTrack) record.count = static_cast<int>(onTrack.size());
  }
  scratch.Put("image.d88", d88test::Build(disk));
  // 17 records on track 0, 5 on each of tracks 1-79 and one more on track 8,
  // 100 on track 90; the boot sector and the regions' 20 sectors are marked.
  const int32_t records = 17 + 79 * 5 + 1 + 100, marked = 21;
  const struct {
    int32_t budget, shown;
  } cases[] = {{EveryRecord, records}, {0, marked}, {5, marked + 5},
               {1000, records - (100 - 48)}};  // a track shows 48 plain records
  for (const auto& item : cases) {
    D88Image image;
    ASSERT_TRUE(image.Open(scratch.PathOf("image.d88").c_str()));
    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    WriteImageDocument(image, {"d88list", "1.0.0", "image.d88"}, item.budget, out);
    EXPECT_FALSE(image.ReadFailed());
    const std::string text = WrittenText(out);
    EXPECT_EQ(Count(text, "{\"c\":"), item.shown) << item.budget;
    EXPECT_EQ(Count(text, "\"mark\":"), marked) << item.budget;
    EXPECT_EQ(MoreInAll(text), records - item.shown) << item.budget;
  }
}

}  // namespace
