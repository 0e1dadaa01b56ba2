#include "command_line.h"

#include "console.h"
#include "native_file.h"

// "Usage: <program> [d88file]"
#define USAGE_MESSAGE "Usage: %s [d88file]\n"

// ファイルをオープンできません. (the file cannot be opened), in Shift-JIS
#define OPEN_FAILED_MESSAGE                                           \
  "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76" \
  "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n"

bool OpenImageFromCommandLine(D88Image& image, int argc, char** argv) {
  if (argc != 2) {
    // argv[0] may be missing when a program is started with an empty list.
    const char* program = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
    PrintError(USAGE_MESSAGE, program);
    return false;
  }
  // A directory or a pipe would open as a stream that holds no disk and be
  // taken for an empty image; only a regular file is an image.
  if (!image.OpenStream(OpenRegularFileForReading(argv[1]))) {
    PrintError("%s", OPEN_FAILED_MESSAGE);
    return false;
  }
  return true;
}
