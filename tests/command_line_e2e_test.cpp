// The command line both programs share, run on each of them: the usage and
// open-failure texts, what counts as an image, and the help and version
// options.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "program_run.h"

using d88test::AsConsoleText;

namespace {

struct Program {
  std::string name;
  std::string path;
  std::string usage;  // after the program name
  bool takesSeveralImages;
};

// Names the program in test listings.
void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

const std::string OpenFailed =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5"
    "\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";

class CommandLine : public ::testing::TestWithParam<Program> {
 protected:
  const std::string& Path() const { return GetParam().path; }
  const std::string& Usage() const { return GetParam().usage; }
  d88test::ScratchDir scratch;
};

TEST_P(CommandLine, WrongArgumentCountPrintsUsageWithProgramNameAsTyped) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"},
                           std::vector<std::string>{"--help", "image.d88"},
                           std::vector<std::string>{"a", "b", "--version"},
                           // --json is set aside, and answered as without it.
                           std::vector<std::string>{"--json"},
                           std::vector<std::string>{"--json", "--json"}}) {
    if (GetParam().takesSeveralImages && args.size() == 2 && args[0] == "a") continue;
    // A program without --json takes it for an image's name.
    if (!args.empty() && args[0] == "--json" && Usage().find("--json") == std::string::npos) continue;
    const d88test::RunResult result = scratch.Run(Path(), args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, AsConsoleText("Usage: " + Path() + Usage() + "\n"));
  }
  EXPECT_TRUE(scratch.Entries().empty());
}

TEST_P(CommandLine, MissingImageIsReportedInShiftJis) {
  const d88test::RunResult result = scratch.Run(Path(), {"absent.d88"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, AsConsoleText(OpenFailed));
}

// Alone on the command line, an option is answered on standard output.
TEST_P(CommandLine, AnswersHelpAndVersion) {
  std::vector<std::string> helpOptions = {"--help", "-h"};
#ifdef _WIN32
  helpOptions.push_back("/?");
#endif
  for (const std::string& option : helpOptions) {
    const d88test::RunResult result = scratch.Run(Path(), {option});
    EXPECT_EQ(result.exitCode, 0) << option;
    EXPECT_EQ(result.out.rfind(AsConsoleText("Usage: " + Path() + Usage() + "\n\n"), 0), 0u) << option;
    EXPECT_NE(result.out.find("Exit codes"), std::string::npos) << option;
    EXPECT_EQ(result.err, "");
  }
  const d88test::RunResult version = scratch.Run(Path(), {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, AsConsoleText(GetParam().name + " " SOUNDCUT_VERSION "\n"));
  EXPECT_TRUE(scratch.Entries().empty());
}

#ifndef _WIN32
// Only a regular file is an image. A FIFO nobody writes to must be refused
// at once rather than waited on (the time limit ends a run that hangs).
TEST_P(CommandLine, NonRegularImagesAreRefused) {
  ASSERT_EQ(scratch.Shell("mkfifo fifo"), 0);
  for (const std::string image : {".", "fifo", "/dev/null"}) {
    SCOPED_TRACE(image);
    const d88test::RunResult result = scratch.Run(Path(), {image}, "timeout 10 ");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, OpenFailed);
  }
}

// On a terminal the texts are shown as text: UTF-8 where the locale uses it,
// the Shift-JIS bytes otherwise. The terminal turns each LF into CR LF.
TEST_P(CommandLine, TerminalShowsTheOpenFailureInItsEncoding) {
  EXPECT_EQ(scratch.RunOnTerminal(Path(), {"absent.d88"}, "C.UTF-8").out,
            "\u30D5\u30A1\u30A4\u30EB\u3092\u30AA\u30FC\u30D7\u30F3\u3067\u304D\u307E\u305B\u3093.\r\n");
  EXPECT_EQ(scratch.RunOnTerminal(Path(), {"absent.d88"}, "C").out,
            OpenFailed.substr(0, OpenFailed.size() - 1) + "\r\n");
}

// The program's name is bytes of an encoding not known here (a UTF-8 name
// would read as Shift-JIS): all but printable ASCII is escaped, the same
// on a terminal and in a pipe, and nothing in it reaches the terminal.
TEST_P(CommandLine, ProgramNameInTheUsageLineIsEscaped) {
  const std::string name = "\xE3\x82\xB5\xE3\x82\xA6\x1B[2J\"\\\x85@\xFF";
  const std::string shown = "\\xE3\\x82\\xB5\\xE3\\x82\\xA6\\x1B[2J\\x22\\x5C\\x85@\\xFF";
  ASSERT_EQ(symlink(Path().c_str(), scratch.PathOf(name).c_str()), 0);
  const std::string usage = "Usage: " + scratch.PathOf(shown) + Usage();
  EXPECT_EQ(scratch.Run(scratch.PathOf(name), {}).err, usage + "\n");
  for (const char* locale : {"C.UTF-8", "C"}) {
    EXPECT_EQ(scratch.RunOnTerminal(scratch.PathOf(name), {}, locale).out, usage + "\r\n") << locale;
  }
}
#endif

INSTANTIATE_TEST_SUITE_P(BothPrograms, CommandLine,
                         ::testing::Values(Program{"soundcut", SOUNDCUT_PROGRAM, " [d88file]", false},
                                           Program{"d88list", D88LIST_PROGRAM,
                                                   " [--json] d88file...", true}),
                         [](const ::testing::TestParamInfo<Program>& info) { return info.param.name; });

}  // namespace
