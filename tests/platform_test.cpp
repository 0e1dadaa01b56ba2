// The platform layer's decisions that no end-to-end run can reach: whether
// the program was started on a console of its own, and where its output
// files go then.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "d88_builder.h"
#include "launch.h"
#include "native_file.h"
#include "output_file.h"
#include "program_run.h"

namespace {

// Only a process alone on its console, with all three streams on it, waits
// for Enter: anything else (a shell beside it, a redirected stream, no
// console at all) must never wait, or a caller would hang.
TEST(StartedOnItsOwnConsole, OnlyWhenAloneWithEveryStreamOnTheConsole) {
  for (int32_t processes : {0, 1, 2, 3}) {
    for (int streams = 0; streams < 8; ++streams) {
      const ConsoleFacts facts{processes, (streams & 1) != 0, (streams & 2) != 0,
                               (streams & 4) != 0};
      EXPECT_EQ(StartedOnItsOwnConsole(facts), processes == 1 && streams == 7)
          << processes << " processes, streams " << streams;
    }
  }
}

TEST(StartedOnItsOwnConsole, NotWhenRunByTheTestSuite) {
  EXPECT_FALSE(StartedOnItsOwnConsole(ThisProcessConsoleFacts()));
}

std::filesystem::path Native(const std::string& utf8) { return std::filesystem::u8path(utf8); }

#ifdef _WIN32
#define NATIVE_PATH(path) (path).wstring()
#else
#define NATIVE_PATH(path) (path).string()
#endif

// Files go into the folder of the path given, however long; a path with no
// folder keeps them in the current one.
// Three paths long: kept out of the stack, as the programs keep theirs.
OutputFolder Output;

TEST(PlaceOutputFilesBeside, WritesIntoTheImagesFolder) {
  Output.Start(".test-");
  d88test::ScratchDir scratch;
  const std::string folder = scratch.PathOf(std::string(120, 'd') + "/" + std::string(120, 'e') +
                                            "/\u30D6\u30EC\u30D3\u30F3");
  std::filesystem::create_directories(Native(folder));
  const auto image = NATIVE_PATH(Native(folder) / "image.d88");
  ASSERT_TRUE(Output.PlaceBeside(image.c_str()));
  const unsigned char bytes[] = {1, 2, 3};
  EXPECT_TRUE(Output.WriteFileReplacing("PSGDRV", bytes, 3));
  d88test::Bytes written;
  try {
    written = d88test::ReadFileBytes(folder + "/PSGDRV");
  } catch (const std::exception&) {
  }
  d88test::RemoveDeepFolder(folder, {"PSGDRV"}, scratch.Work());
  EXPECT_EQ(written, (d88test::Bytes{1, 2, 3}));

  const auto bare = NATIVE_PATH(Native("image.d88"));
  ASSERT_TRUE(Output.PlaceBeside(bare.c_str()));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(Native(scratch.Work()));
  EXPECT_TRUE(Output.WriteFileReplacing("OPMDRV", bytes, 2));
  std::filesystem::current_path(previous);
  EXPECT_EQ(scratch.Get("OPMDRV"), (d88test::Bytes{1, 2}));
}

// Paths past the longest one handled are refused whole, never cut short.
TEST(PlaceOutputFilesBeside, RefusesPathsTooLongToHold) {
  Output.Start(".test-");
  const unsigned char bytes[] = {1};
  const std::basic_string<PathChar> tooLong(MaxPathLength + 10, 'x');
  EXPECT_FALSE(Output.PlaceBeside(tooLong.c_str()));
  // The files then go nowhere, never into the current folder instead.
  EXPECT_FALSE(Output.WriteFileReplacing("PSGDRV", bytes, 1));
  // The folder fits, the file's name beside it does not.
  std::basic_string<PathChar> nearlyFull(MaxPathLength - 4, 'x');
  nearlyFull += static_cast<PathChar>('/');
  nearlyFull += static_cast<PathChar>('i');
  ASSERT_TRUE(Output.PlaceBeside(nearlyFull.c_str()));
  EXPECT_FALSE(Output.WriteFileReplacing("PSGDRV", bytes, 1));
  // A folder with room for the name but not for the temporary file's suffix.
  std::basic_string<PathChar> roomForTheName(MaxPathLength - 10, 'x');
  roomForTheName += static_cast<PathChar>('/');
  ASSERT_TRUE(Output.PlaceBeside(roomForTheName.c_str()));
  EXPECT_FALSE(Output.WriteFileReplacing("PSGDRV", bytes, 1));
  const std::basic_string<PathChar> current(1, 'i');
  ASSERT_TRUE(Output.PlaceBeside(current.c_str()));
}

#ifdef _WIN32
// Wine opens long paths in any form, so the form itself is checked here.
TEST(ExtendedLengthPath, OnlyLongPathsTakeTheExtendedForm) {
  static wchar_t extended[MaxPathLength];
  const std::wstring longName(300, L'x');
  ASSERT_TRUE(ExtendedLengthPath((L"C:\\a/" + longName).c_str(), extended));
  EXPECT_EQ(std::wstring(extended), L"\\\\?\\C:\\a\\" + longName);
  ASSERT_TRUE(ExtendedLengthPath((L"\\\\server\\share\\" + longName).c_str(), extended));
  EXPECT_EQ(std::wstring(extended), L"\\\\?\\UNC\\server\\share\\" + longName);
  for (const wchar_t* asItIs : {L"C:\\short.d88", L"NUL", L"\\\\?\\C:\\x.d88", L"\\\\.\\pipe\\p"}) {
    EXPECT_FALSE(ExtendedLengthPath(asItIs, extended));
  }
}

// Only symbolic links and junctions are links; a OneDrive placeholder (a
// cloud reparse point) is a file whose contents can be compared.
TEST(CountsAsLink, OnlySymbolicLinksAndJunctions) {
  constexpr uint32_t Reparse = FILE_ATTRIBUTE_REPARSE_POINT;
  EXPECT_TRUE(CountsAsLink(Reparse, IO_REPARSE_TAG_SYMLINK));
  EXPECT_TRUE(CountsAsLink(Reparse | FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_MOUNT_POINT));
  EXPECT_FALSE(CountsAsLink(Reparse, 0x9000601Au));  // IO_REPARSE_TAG_CLOUD_6
  EXPECT_FALSE(CountsAsLink(FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK));
}

// A folder that refuses new files refuses them for good: creating one there
// spends none of the run's patience, which is kept for names another
// program holds. Wine shows Linux's /sys, where not even root may create a
// file, as Z:\sys.
TEST(CreateNewFile, FolderThatRefusesNewFilesCostsNoWaiting) {
  if (GetFileAttributesW(L"Z:\\sys\\kernel") == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "needs wine's Z:\\sys, a folder nobody may write to";
  }
  RetryBudget budget;
  NativeFile file = NoFile;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CreateNewFile(L"Z:\\sys\\kernel\\soundcut-new", file, budget), CreateResult::Failed);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}
#endif

}  // namespace
