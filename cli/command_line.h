// The command line both programs take: exactly one argument, a D88 image,
// or one of the options --help, -h (and /? on Windows) and --version.
#ifndef CLI_COMMAND_LINE_H
#define CLI_COMMAND_LINE_H

#include "d88_image.h"
#include "native_path.h"

// What a program says about itself when asked.
struct ProgramAbout {
  const char* name;  // as in "soundcut 1.0.0"
  const char* help;  // follows the usage line: what it does, its exit codes
  const char* options = "";  // in the usage line before the operands, as "[--json] "
  const char* operands = "[d88file]";  // what the usage line asks for last
};

// Opens the image named by the only argument; it must be a regular file.
// An argument that is an option is answered instead (an image of that name
// is reached as ./--help). Otherwise prints the usage text (with the
// program name as typed, as NameForMessage shows it) or the open-failure
// text on standard error.
// False when there is no image to go on with: the program then ends with
// `exitCode` (0 after a help or version that was written, 1 otherwise).
bool ReadCommandLine(D88Image& image, int argc, PathChar** argv, const ProgramAbout& about,
                     int& exitCode);

// Opens the image at `path` in `image`; only a regular file is an image.
bool OpenImageFile(D88Image& image, const PathChar* path);

// A name from the command line (the program's, an image's) as a message
// or a header line shows it: exact, and harmless on any terminal. On
// Windows its Shift-JIS text; on POSIX its bytes, those of an encoding not
// known here, printable ASCII kept. Every other byte, and every '"' and
// '\\', is written as \xHH (see quoted_text.h). The result lives until the
// next call.
const char* NameForMessage(const PathChar* path);

// Whether `argument` is one of the options ReadCommandLine answers.
bool IsCommandLineOption(const PathChar* argument);

// Prints the usage line on standard error, for a command line it cannot
// take.
void PrintUsageError(int argc, PathChar** argv, const ProgramAbout& about);

// Say on standard error that the image could not be opened, or could not
// be read (an I/O error, not the end of the file: what was found before it
// is all there is). With `name` (one image of several), the message starts
// with it and ": ".
void PrintOpenFailure(const char* name = nullptr);
void PrintReadFailure(const char* name = nullptr);

// For a program started on a console window of its own (see launch.h),
// which closes as soon as the program ends: asks the user to press Enter
// and waits for it, so that what was printed can be read.
void PressEnterToClose();

// The options as the help lists them.
#ifdef _WIN32
#define HELP_OPTIONS "  -h, --help, /?  show this help\n  --version       show the version\n"
#else
#define HELP_OPTIONS "  -h, --help      show this help\n  --version       show the version\n"
#endif

#endif  // CLI_COMMAND_LINE_H
