// Runs the real d88list executable and compares its whole output.
#include <gtest/gtest.h>

#include <cstdio>

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
const std::string OpenFailed =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5"
    "\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";

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

TEST(D88List, AnswersHelpAndVersion) {
  d88test::ScratchDir scratch;
  std::vector<std::string> helpOptions = {"--help", "-h"};
#ifdef _WIN32
  helpOptions.push_back("/?");
#endif
  for (const std::string& option : helpOptions) {
    const d88test::RunResult result = scratch.Run(Program, {option});
    EXPECT_EQ(result.exitCode, 0) << option;
    EXPECT_EQ(result.out.rfind(AsConsoleText("Usage: " + Program + " [d88file]\n\n"), 0), 0u) << option;
    EXPECT_NE(result.out.find("Exit codes"), std::string::npos) << option;
    EXPECT_EQ(result.err, "");
  }
  const d88test::RunResult version = scratch.Run(Program, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, AsConsoleText("d88list " SOUNDCUT_VERSION "\n"));
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

TEST(D88List, WrongArgumentsAndMissingImageFail) {
  d88test::ScratchDir scratch;
  d88test::RunResult result = scratch.Run(Program, {});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, AsConsoleText("Usage: " + Program + " [d88file]\n"));
  result = scratch.Run(Program, {"absent.d88"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, AsConsoleText(OpenFailed));
}

#ifndef _WIN32
// Only a regular file is an image; a FIFO with no writer is refused at once.
TEST(D88List, NonRegularImagesAreRefused) {
  d88test::ScratchDir scratch;
  ASSERT_EQ(scratch.Shell("mkfifo fifo"), 0);
  for (const std::string image : {".", "fifo", "/dev/null"}) {
    SCOPED_TRACE(image);
    const d88test::RunResult result = scratch.Run(Program, {image}, "timeout 10 ");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, OpenFailed);
  }
}

TEST(D88List, TerminalShowsMessagesInItsEncoding) {
  d88test::ScratchDir scratch;
  EXPECT_EQ(scratch.RunOnTerminal(Program, {"absent.d88"}, "C.UTF-8").out,
            "\u30D5\u30A1\u30A4\u30EB\u3092\u30AA\u30FC\u30D7\u30F3\u3067\u304D\u307E\u305B\u3093.\r\n");
  EXPECT_EQ(scratch.RunOnTerminal(Program, {"absent.d88"}, "C").out,
            OpenFailed.substr(0, OpenFailed.size() - 1) + "\r\n");
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
  Disk second;
  second.name = "EMPTY";
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
                         "  track 0:" + Id(0, 0, 2, 1) + Id(0, 0, 1, 1) + "\n" +
                         "  track 163:" + Id(0xFF, 0xAB, 0xCD, 0xEF) + "\n" +
                         "disk 1: \"EMPTY\" media 0x40 size 688\n" + "  boot: none\n" +
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
