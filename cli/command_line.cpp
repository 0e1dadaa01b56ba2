#include "command_line.h"

#include "console.h"
#include "launch.h"
#include "native_file.h"
#include "quoted_text.h"
#include "version.h"

// "Usage: <program> [options] [d88file]"
#define USAGE_MESSAGE "Usage: %s %s%s\n"

// ファイルをオープンできません. (the file cannot be opened), in Shift-JIS
#define OPEN_FAILED_MESSAGE                                           \
  "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76" \
  "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n"

// ファイルを読み込めません. (the file cannot be read), in Shift-JIS
#define READ_FAILED_MESSAGE                                           \
  "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E" \
  "\x82\xDF\x82\xDC\x82\xB9\x82\xF1.\n"

// Enterキーを押すと終了します. (press Enter to close)
#define PRESS_ENTER_MESSAGE                                           \
  "Enter\x83\x4C\x81\x5B\x82\xF0\x89\x9F\x82\xB7\x82\xC6\x8F\x49" \
  "\x97\xB9\x82\xB5\x82\xDC\x82\xB7.\n"

namespace {

// A name as typed is untrusted text: a file of a collection, or a link to
// the program named by anyone. Converted, a path takes at most 4 bytes a
// unit; a longer argument (a POSIX one is not converted) is cut there
// rather than overrun the text.
constexpr int32_t MaxNameBytes = 4 * MaxPathLength;
constexpr int32_t NameTextCapacity = QuotedCapacity(MaxNameBytes);
char NameText[NameTextCapacity];

const char* QuotedName(const PathChar* path, QuotedText rule) {
  const char* name = InMessageEncoding(path);
  int32_t length = 0;
  while (length < MaxNameBytes && name[length] != 0) ++length;
  Quote(reinterpret_cast<const unsigned char*>(name), length, rule, NameText);
  return NameText;
}

// The program name as typed. Windows gives it as UTF-16, converted to the
// messages' Shift-JIS, its folders' '\' kept as a Windows user reads a
// path; a POSIX name is bytes of an unknown encoding, escaped as an
// image's name is.
const char* ProgramName(int argc, PathChar** argv) {
  // argv[0] may be missing when a program is started with an empty list.
  if (argc < 1 || argv[0] == nullptr) return "";
#ifdef _WIN32
  return InMessageEncoding(argv[0]);
#else
  return NameForMessage(argv[0]);
#endif
}

bool IsOption(const PathChar* argument, const char* option) {
  for (; *option != 0; ++argument, ++option) {
    if (*argument != static_cast<PathChar>(*option)) return false;
  }
  return *argument == 0;
}

bool AsksForHelp(const PathChar* argument) {
#ifdef _WIN32
  if (IsOption(argument, "/?")) return true;
#endif
  return IsOption(argument, "--help") || IsOption(argument, "-h");
}

}  // namespace

// Windows gives a name as UTF-16, which becomes the messages' Shift-JIS; a
// POSIX name is bytes in some locale's encoding, unknown here, so
// everything but printable ASCII is escaped: exact, and safe on any
// terminal.
const char* NameForMessage(const PathChar* path) {
#ifdef _WIN32
  return QuotedName(path, QuotedText::ShiftJis);
#else
  return QuotedName(path, QuotedText::Ascii);
#endif
}

bool ReadCommandLine(D88Image& image, int argc, PathChar** argv, const ProgramAbout& about,
                     int& exitCode) {
  exitCode = 1;
  if (argc != 2) {
    PrintUsageError(argc, argv, about);
    return false;
  }
  if (AsksForHelp(argv[1])) {
    PrintOut(USAGE_MESSAGE, ProgramName(argc, argv), about.options, about.operands);
    PrintOut("\n%s", about.help);
    exitCode = FinishOutput() ? 0 : 1;
    return false;
  }
  if (IsOption(argv[1], "--version")) {
    PrintOut("%s %s\n", about.name, SOUNDCUT_VERSION);
    exitCode = FinishOutput() ? 0 : 1;
    return false;
  }
  if (!OpenImageFile(image, argv[1])) {
    PrintOpenFailure();
    return false;
  }
  exitCode = 0;
  return true;
}

// A directory or a pipe would open as a stream that holds no disk and be
// taken for an empty image; only a regular file is an image.
bool OpenImageFile(D88Image& image, const PathChar* path) {
  return image.OpenStream(OpenRegularFileForReading(path));
}

bool IsCommandLineOption(const PathChar* argument) {
  return AsksForHelp(argument) || IsOption(argument, "--version");
}

void PrintUsageError(int argc, PathChar** argv, const ProgramAbout& about) {
  PrintError(USAGE_MESSAGE, ProgramName(argc, argv), about.options, about.operands);
}

void PrintOpenFailure(const char* name) {
  PrintError("%s%s%s", name != nullptr ? name : "", name != nullptr ? ": " : "", OPEN_FAILED_MESSAGE);
}

void PrintReadFailure(const char* name) {
  PrintError("%s%s%s", name != nullptr ? name : "", name != nullptr ? ": " : "", READ_FAILED_MESSAGE);
}

void PressEnterToClose() {
  PrintOut(PRESS_ENTER_MESSAGE);
  FinishOutput();
  WaitForEnter();
}
