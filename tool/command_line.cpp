#include "command_line.h"

#include <cstdio>

#include "messages.h"

bool OpenImageFromCommandLine(D88Image& image, int argc, char** argv) {
  if (argc != 2) {
    // argv[0] may be missing when a program is started with an empty list.
    const char* program = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
    std::fprintf(stderr, USAGE_MESSAGE, program);
    return false;
  }
  if (!image.Open(argv[1])) {
    std::fputs(OPEN_FAILED_MESSAGE, stderr);
    return false;
  }
  return true;
}
