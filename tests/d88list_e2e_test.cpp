// Runs the real d88list executable and compares its whole output.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "d88_builder.h"
#include "program_run.h"

using d88test::AsConsoleText;
using d88test::Build;
using d88test::Bytes;
using d88test::Concat;
using d88test::Disk;
using d88test::MakeRecord;

namespace {

const std::string Program = D88LIST_PROGRAM;

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string Id(int c, int h, int r, int n) {
  char text[16];
  std::snprintf(text, sizeof text, " %02X/%02X/%02X/%02X", c, h, r, n);
  return text;
}


// The boot line shows the bytes soundcut's recognition compares, so a disk
// is recognised exactly when its line reads "Brevindor X1 Sys".
TEST(D88List, BootLineShowsWhatRecognitionReads) {
  Disk noTrackZero = d88test::GameDiskA("NO TRACK 0");
  noTrackZero.tracks.erase(0);
  Disk emptyBootSector = d88test::GameDiskA("EMPTY BOOT");
  emptyBootSector.tracks[0][0].data.clear();
  Disk sixteen = d88test::GameDiskA("SIXTEEN");
  sixteen.tracks[0][0].data.resize(16);
  Disk seventeen = d88test::GameDiskA("SEVENTEEN");
  seventeen.tracks[0][0].data.resize(17);
  const std::string oddName("\"q\\\x01\x7F\x82\xA0\x83\x5A ~AZaz0", 16);

  d88test::ScratchDir scratch;
  scratch.Put("image.d88", Concat({Build(noTrackZero), Build(emptyBootSector), Build(sixteen),
                                   Build(seventeen), Build(d88test::OrdinaryDisk(oddName, 1)),
                                   Build(d88test::OrdinaryDisk("Brevindor X1 Sy", 1))}));
  const d88test::RunResult result = scratch.Run(Program, {"image.d88"});
  std::vector<std::string> bootLines;
  for (size_t at = result.out.find("  boot: "); at != std::string::npos;
       at = result.out.find("  boot: ", at + 1)) {
    bootLines.push_back(result.out.substr(at, result.out.find(AsConsoleText("\n"), at) - at));
  }
  EXPECT_EQ(bootLines, (std::vector<std::string>{
                           "  boot: none",
                           "  boot: none",
                           "  boot: too short (16 bytes)",
                           "  boot: \"Brevindor X1 Sys\"",
                           "  boot: \"\\x22q\\x5C\\x01\\x7F\\x82\\xA0\\x83Z ~AZaz0\"",
                           "  boot: \"Brevindor X1 Sy\\x01\"",
                       }));
  const std::string cut = scratch.Run(SOUNDCUT_PROGRAM, {"image.d88"}).out;
  size_t recognised = 0;
  for (size_t at = cut.find("Disk A"); at != std::string::npos; at = cut.find("Disk A", at + 1)) {
    ++recognised;
  }
  EXPECT_EQ(recognised, 1u);
}

// A disk name keeps its Shift-JIS characters whole, whatever their trail
// byte (ソ is 83 5C); every byte that is no character, or that a terminal
// would obey, is written \xHH.
TEST(D88List, DiskNamesListAsTheirCharacters) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6", "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6"},
      {"\x9B\x32\x4A", "\\x9B2J"},  // CSI on a terminal of 8-bit controls
      {"\xB1\xDF\x80\xA0\xFD\xFE\xFF", "\xB1\xDF\\x80\\xA0\\xFD\\xFE\\xFF"},
      {"\x81\x20\xE0\x7F\xFC\xFC\x9F", "\\x81 \\xE0\\x7F\xFC\xFC\\x9F"},  // lead bytes alone
      {"a\"\\\x1F~", "a\\x22\\x5C\\x1F~"},
      {"\x81\x3F\xA0\x40\x81\x40", "\\x81?\\xA0@\x81\x40"},  // the edges of lead and trail
  };
  std::vector<Bytes> disks;
  std::string expected;
  for (size_t i = 0; i < names.size(); ++i) {
    Disk disk;
    disk.name = names[i].first;
    disks.push_back(Build(disk));
    expected += "disk " + std::to_string(i) + ": \"" + names[i].second +
                "\" media 0x00 size 688\n  boot: none\n";
  }
  d88test::ScratchDir scratch;
  scratch.Put("image.d88", Concat(disks));
  EXPECT_EQ(scratch.Run(Program, {"image.d88"}).out, AsConsoleText(expected));
}

#ifndef _WIN32
// On a UTF-8 terminal a disk name is shown as text.
TEST(D88List, TerminalShowsDiskNamesAsText) {
  Disk disk;
  disk.name = "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6";
  d88test::ScratchDir scratch;
  scratch.Put("image.d88", Build(disk));
  EXPECT_EQ(scratch.RunOnTerminal(Program, {"image.d88"}, "C.UTF-8").out,
            "disk 0: \"\u30BD\u30D5\u30C8\u8868\u793A\" media 0x00 size 688\r\n  boot: none\r\n");
}

TEST(D88List, ListingThatCannotBeWrittenEndsWithOne) {
  d88test::ScratchDir scratch;
  scratch.Put("image.d88", Build(d88test::GameDiskA()));
  const d88test::RunResult result = scratch.Run(Program, {"image.d88"}, "",
                                                d88test::ScratchDir::Streams::OutputToFullDevice);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "");
}
#endif

TEST(D88List, ListsEveryDiskAndItsNonEmptyTracks) {
  Disk first;
  first.name = "ABCDEFGHIJKLMNOPQ";  // 17 bytes: 16 are shown
  first.mediaType = 0x10;
  first.tracks[0] = {MakeRecord(0, 0, 2, 1, 2, Bytes(256)), MakeRecord(0, 0, 1, 1, 2, Bytes(256))};
  first.tracks[163] = {MakeRecord(0xFF, 0xAB, 0xCD, 0xEF, 1, Bytes(3))};
  // A track far longer than one chunk of the printed line.
  std::string longTrack = "  track 5:";
  for (int i = 0; i < 700; ++i) {
    first.tracks[5].push_back(MakeRecord(1, 2, i & 0xFF, i >> 8, 700, Bytes{}));
    longTrack += Id(1, 2, i & 0xFF, i >> 8);
  }
  Disk second;
  // What a terminal would obey, and quotes, are escaped; Shift-JIS stays.
  second.name = "\x1B]0;\x07\"\\\x7F\x83\x75\x1B[2J";
  second.mediaType = 0x40;
  Disk third = d88test::OrdinaryDisk("X", 1);
  third.mediaType = 0xFE;
  third.name = "";
  third.hasSizeField = true;
  third.sizeField = -5;  // shown as stored; ends the chain

  d88test::ScratchDir scratch;
  const Bytes firstBytes = Build(first);
  scratch.Put("image.d88", Concat({firstBytes, Build(second), Build(third)}));
  const d88test::RunResult result = scratch.Run(Program, {"image.d88"});

  std::string expected = "disk 0: \"ABCDEFGHIJKLMNOP\" media 0x10 size " +
                         std::to_string(firstBytes.size()) + "\n" +
                         "  boot: \"" + Repeat("\\x00", 16) + "\"\n" +
                         "  track 0:" + Id(0, 0, 2, 1) + Id(0, 0, 1, 1) + "\n" + longTrack + "\n" +
                         "  track 163:" + Id(0xFF, 0xAB, 0xCD, 0xEF) + "\n" +
                         "disk 1: \"\\x1B]0;\\x07\\x22\\x5C\\x7F\x83\x75\\x1B[2J\" media 0x40 size 688\n" + "  boot: none\n" +
                         "disk 2: \"\" media 0xFE size -5\n" + "  boot: none\n";
  // The third disk's size is negative, so every track lies beyond it.
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(expected));
  EXPECT_EQ(result.err, "");
}

TEST(D88List, ListsTheSampleImage) {
  d88test::ScratchDir scratch;
  const Bytes image = Build(d88test::GameDiskA());
  scratch.Put("sample.d88", image);
  std::string expected = "disk 0: \"SAMPLE\" media 0x00 size " + std::to_string(image.size()) + "\n";
  expected += "  boot: \"Brevindor X1 Sys\"\n";
  expected += "  track 0:";
  for (int r = 1; r <= 16; ++r) expected += Id(0, 0, r, 1);
  expected += "\n";
  for (int track = 1; track <= 79; ++track) {
    expected += "  track " + std::to_string(track) + ":";
    for (int r = 1; r <= 5; ++r) expected += Id(track / 2, track % 2, r, 3);
    expected += "\n";
  }
  const d88test::RunResult result = scratch.Run(Program, {"sample.d88"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(expected));
  EXPECT_EQ(result.err, "");
}

}  // namespace
