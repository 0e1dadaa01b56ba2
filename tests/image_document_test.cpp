// The document of an image as the page's module asks for it: records
// limited per track and in all, the boot and region records always shown.
// (d88list --json, which shows every record, is checked whole by
// json_document_test.py.)
#include <gtest/gtest.h>

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
    EXPECT_TRUE(WriteImageDocument(image, {"d88list", "1.0.0", "image.d88"}, item.budget, out));
    std::string text(static_cast<size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    ASSERT_EQ(std::fread(&text[0], 1, text.size(), out), text.size());
    std::fclose(out);
    EXPECT_EQ(Count(text, "{\"c\":"), item.shown) << item.budget;
    EXPECT_EQ(Count(text, "\"mark\":"), marked) << item.budget;
    EXPECT_EQ(MoreInAll(text), records - item.shown) << item.budget;
  }
}

}  // namespace
