// Runs the real d88list executable and compares its whole output.
#include <gtest/gtest.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "d88_builder.h"
#include "program_run.h"
#include "quoted_text.h"

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
// would obey, is written \xHH, and a pair that is no character as two: on
// a terminal of unknown encoding (LANG=C), where 0x80 to 0x9F may be 8-bit
// controls, every character holding such a byte too.
struct NameCase {
  std::string name, piped, onEightBitTerminal, onUtf8Terminal;
};

const std::vector<NameCase> NameCases = {
    {"\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6", "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6",
     "\\x83\\x5C\\x83\\x74\\x83\\x67\\x95\\x5C\\x8E\\xA6", "\u30BD\u30D5\u30C8\u8868\u793A"},
    {"\x9B\x32\x4A", "\\x9B2J", "\\x9B2J", "\\x9B2J"},
    // CSI H CSI J (home, clear), then a DCS and an OSC that would swallow
    // what follows: each also a character.
    {"\x9B\x48\x9B\x4A\x90\x40\x9D\x40", "\x9B\x48\x9B\x4A\x90\x40\x9D\x40",
     "\\x9B\\x48\\x9B\\x4A\\x90\\x40\\x9D\\x40", "\u59E8\u598D\u62ED\u621E"},
    {"\xA1\xDF\x80\xA0\xFD\xFE\xFF", "\xA1\xDF\\x80\\xA0\\xFD\\xFE\\xFF",
     "\xA1\xDF\\x80\\xA0\\xFD\\xFE\\xFF", "\uFF61\uFF9F\\x80\\xA0\\xFD\\xFE\\xFF"},
    {"\x81\x20\xE0\x7F\xFC\xFC\x9F", "\\x81 \\xE0\\x7F\\xFC\\xFC\\x9F",
     "\\x81 \\xE0\\x7F\\xFC\\xFC\\x9F", "\\x81 \\xE0\\x7F\\xFC\\xFC\\x9F"},  // lead bytes alone
    {"a\"\\\x1F~", "a\\x22\\x5C\\x1F~", "a\\x22\\x5C\\x1F~", "a\\x22\\x5C\\x1F~"},
    // Pairs that are no character read apart from the bytes "?\x81".
    {"\x85\x5C\x78\x38\x31\x3F\x81", "\\x85\\x5Cx81?\\x81", "\\x85\\x5Cx81?\\x81",
     "\\x85\\x5Cx81?\\x81"},
    // The edges of lead and trail bytes, and of the characters.
    {"\x81\x3F\xA0\x40\x81\x40\x81\x7E", "\\x81?\\xA0@\x81\x40\x81\x7E",
     "\\x81?\\xA0@\\x81\\x40\\x81\\x7E", "\\x81?\\xA0@\u3000\u00D7"},
    {"\x9F\xFC\xE0\x7E\xFC\x4B\xFC\x4C\xEA\xA4\xEA\xA5\xE0\x80",
     "\x9F\xFC\xE0\x7E\xFC\x4B\\xFC\\x4C\xEA\xA4\\xEA\\xA5\xE0\x80",
     "\\x9F\\xFC\xE0\x7E\xFC\x4B\\xFC\\x4C\xEA\xA4\\xEA\\xA5\\xE0\\x80",
     "\u6ECC\u70DD\u9ED1\\xFC\\x4C\u7199\\xEA\\xA5\u70D9"},
};

std::string NameListing(std::string NameCase::*shown, const std::string& lineEnd) {
  std::string listing;
  for (size_t i = 0; i < NameCases.size(); ++i) {
    listing += "disk " + std::to_string(i) + ": \"" + NameCases[i].*shown +
               "\" media 0x00 size 688" + lineEnd + "  header: D88" + lineEnd + "  boot: none" + lineEnd;
  }
  return listing;
}

TEST(D88List, DiskNamesListAsTheirCharacters) {
  std::vector<Bytes> disks;
  for (const NameCase& name : NameCases) {
    Disk disk;
    disk.name = name.name;
    disks.push_back(Build(disk));
  }
  d88test::ScratchDir scratch;
  scratch.Put("image.d88", Concat(disks));
  EXPECT_EQ(scratch.Run(Program, {"image.d88"}).out,
            AsConsoleText(NameListing(&NameCase::piped, "\n")));
#ifndef _WIN32
  EXPECT_EQ(scratch.RunOnTerminal(Program, {"image.d88"}, "C").out,
            NameListing(&NameCase::onEightBitTerminal, "\r\n"));
  EXPECT_EQ(scratch.RunOnTerminal(Program, {"image.d88"}, "C.UTF-8").out,
            NameListing(&NameCase::onUtf8Terminal, "\r\n"));
#endif
}

// A pair is kept in a name exactly when the system's own converter makes a
// character of it, so that a console or terminal never shows one as "?".
TEST(D88List, NameRuleKnowsTheCharactersTheSystemConverts) {
#ifndef _WIN32
  const iconv_t converter = iconv_open("UTF-8", "CP932");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
#endif
  int disagreements = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead == 0xA0) lead = 0xE0;  // single bytes between the two runs of lead bytes
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
#ifdef _WIN32
      wchar_t wide[2];
      const bool converts = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pair, 2, wide, 2) == 1;
#else
      char* in = pair;
      size_t inLeft = 2;
      char utf8[8];
      char* out = utf8;
      size_t outLeft = sizeof utf8;
      const bool converts = iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1) &&
                            inLeft == 0 && (utf8[0] & 0x80) != 0;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
#endif
      const bool kept = IsShiftJisCharacter(static_cast<unsigned char>(lead),
                                            static_cast<unsigned char>(trail));
      if (kept != converts) {
        ADD_FAILURE() << std::hex << lead << " " << trail << (kept ? " kept" : " escaped");
        if (++disagreements == 10) return;
      }
    }
  }
#ifndef _WIN32
  iconv_close(converter);
#endif
}

#ifndef _WIN32
TEST(D88List, ListingThatCannotBeWrittenEndsWithOne) {
  d88test::ScratchDir scratch;
  scratch.Put("image.d88", Build(d88test::GameDiskA()));
  // A header line is buffered like the rest and fails only later, unless
  // it is longer than the stream's buffer: a path whose escaped form runs
  // to some 10 KB makes the header's own write the one that fails.
  const std::string folder(255, '\xFF');
  ASSERT_EQ(scratch.Shell("mkdir " + d88test::Quote(folder)), 0);
  std::string longPath;
  for (int i = 0; i < 10; ++i) longPath += folder + "/../";
  longPath += "image.d88";
  for (const auto& args : {std::vector<std::string>{"image.d88"},
                           std::vector<std::string>{"--json", "image.d88", "image.d88"},
                           std::vector<std::string>{longPath, "image.d88"}}) {
    const d88test::RunResult result =
        scratch.Run(Program, args, "", d88test::ScratchDir::Streams::OutputToFullDevice);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
  }
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
                         std::to_string(firstBytes.size()) + "\n" + "  header: D88\n" +
                         "  boot: \"" + Repeat("\\x00", 16) + "\"\n" +
                         "  track 0:" + Id(0, 0, 2, 1) + Id(0, 0, 1, 1) + "\n" + longTrack + "\n" +
                         "  track 163:" + Id(0xFF, 0xAB, 0xCD, 0xEF) + "\n" +
                         "disk 1: \"\\x1B]0;\\x07\\x22\\x5C\\x7F\x83\x75\\x1B[2J\" media 0x40 size 688\n" +
                         "  header: D88\n" + "  boot: none\n" +
                         "disk 2: \"\" media 0xFE size -5\n" +
                         "  header: not D88 (media type 0xFE)\n" + "  boot: none\n";
  // The third disk's size is negative, so every track lies beyond it.
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, AsConsoleText(expected));
  EXPECT_EQ(result.err, "");
}

// Several images are each listed as alone, the text after a header line as
// head(1) writes, each JSON document on its line; one that cannot be opened
// is named in its message (with --json, it has its document too, as
// alone), and the next follows. Nothing of one image shows in the next.
TEST(D88List, SeveralImagesListEachAsAlone) {
  d88test::ScratchDir scratch;
  const Bytes good = Build(d88test::GameDiskA());
  scratch.Put("good.d88", good);
  scratch.Put("text.d88", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  scratch.Put("damaged.d88", Bytes(good.begin(), good.begin() + 1000));
  // A name is untrusted too; a POSIX one is bytes of an unknown encoding,
  // so all but printable ASCII is escaped (UTF-8 too, never read as
  // Shift-JIS).
  std::vector<std::pair<std::string, std::string>> shown = {
      {"good.d88", "good.d88"}, {"missing.d88", "missing.d88"}, {"text.d88", "text.d88"},
      {"damaged.d88", "damaged.d88"}};
#ifndef _WIN32
  shown.emplace_back("x\x1B[2J\\\x9B.d88", "x\\x1B[2J\\x5C\\x9B.d88");
  scratch.Put(shown.back().first, good);
  shown.emplace_back("absent\x07\x9B.d88", "absent\\x07\\x9B.d88");
  shown.emplace_back("caf\xC3\xA9.d88", "caf\\xC3\\xA9.d88");  // not two katakana
  scratch.Put(shown.back().first, good);
#endif
  const std::vector<std::vector<int>> lists = {{0, 1, 2, 3}, {1, 0}, {1, 1}, {2, 0, 3}
#ifndef _WIN32
                                               , {4, 0, 5, 6}
#endif
  };
  for (const std::vector<int>& list : lists) {
    for (const bool json : {false, true}) {
      std::vector<std::string> args;
      if (json) args.push_back("--json");
      std::string out, err;
      int exitCode = 0;
      for (const int image : list) {
        std::vector<std::string> alone = {shown[image].first};
        if (json) alone.insert(alone.begin(), "--json");
        const d88test::RunResult single = scratch.Run(Program, alone);
        if (!single.err.empty()) err += AsConsoleText(shown[image].second + ": ") + single.err;
        if (json) {
          out += single.out;
        } else if (!single.err.empty()) {
          EXPECT_EQ(single.out, "");
        } else {
          out += AsConsoleText((out.empty() ? "" : "\n") + ("==> " + shown[image].second + " <==\n")) +
                 single.out;
        }
        exitCode |= single.exitCode;
        args.push_back(shown[image].first);
      }
      const d88test::RunResult result = scratch.Run(Program, args);
      SCOPED_TRACE(testing::PrintToString(args));
      EXPECT_EQ(result.out, out);
      EXPECT_EQ(result.err, err);
      EXPECT_EQ(result.exitCode, exitCode);
    }
  }
}

// A JSON line is printable ASCII whatever the path (on a terminal of any
// encoding), its path's bytes tell apart paths that read alike, and every
// image given has its line, in order: one that cannot be opened too.
TEST(D88List, JsonLinesAreAsciiAndPairWithTheImagesGiven) {
  d88test::ScratchDir scratch;
  const Bytes image = Build(d88test::OrdinaryDisk("Other X1 System ", 1));
  // Each path, then its document's path fields and what follows them.
  const std::string opened = "\"opened\":true,\"disks\":[{";
  std::vector<std::pair<std::string, std::string>> paths = {
      {"\xE3\x83\x9B\xC2\x9B.d88",  // katakana HO, then U+009B (CSI)
       "\"image\":\"\\u30DB\\u009B.d88\",\"image_hex\":\"E3839BC29B2E643838\"," + opened},
      {"missing.d88", "\"image\":\"missing.d88\",\"image_hex\":\"6D697373696E672E643838\","
                      "\"opened\":false,\"disks\":[],\"read_failed\":false,\"exit_status\":1}"},
#ifndef _WIN32
      {"a\xFE.d88", "\"image\":\"a\\uFFFD.d88\",\"image_hex\":\"61FE2E643838\"," + opened},
      {"a\xFF.d88", "\"image\":\"a\\uFFFD.d88\",\"image_hex\":\"61FF2E643838\"," + opened},
#endif
  };
  std::vector<std::string> args = {"--json"};
  for (const auto& path : paths) {
    if (path.first != "missing.d88") scratch.Put(path.first, image);
    args.push_back(path.first);
  }
#ifdef _WIN32
  const char* const plainLocale = "";  // a Windows program's JSON knows no locale
#else
  const char* const plainLocale = "LC_ALL=C; export LC_ALL;";
#endif
  const d88test::RunResult result = scratch.Run(Program, args, plainLocale);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err.rfind(AsConsoleText("missing.d88: "), 0), 0u) << result.err;
  std::vector<std::string> lines;
  for (size_t at = 0; at < result.out.size();) {
    const size_t end = result.out.find('\n', at);
    lines.push_back(result.out.substr(at, end - at));
    at = end == std::string::npos ? end : end + 1;
  }
  ASSERT_EQ(lines.size(), paths.size()) << result.out;
  for (size_t i = 0; i < paths.size(); ++i) {
    const size_t at = lines[i].find("\"image\":");
    EXPECT_EQ(lines[i].substr(at, paths[i].second.size()), paths[i].second);
  }
  for (const char byte : result.out) {
    EXPECT_TRUE((byte >= 0x20 && byte < 0x7F) || byte == '\n' || byte == '\r') << static_cast<int>(byte);
  }
}

TEST(D88List, ListsTheSampleImage) {
  d88test::ScratchDir scratch;
  const Bytes image = Build(d88test::GameDiskA());
  scratch.Put("sample.d88", image);
  std::string expected = "disk 0: \"SAMPLE\" media 0x00 size " + std::to_string(image.size()) + "\n";
  expected += "  header: D88\n";
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
