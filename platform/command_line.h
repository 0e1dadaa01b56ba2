// The command line both programs take: exactly one argument, a D88 image.
#ifndef PLATFORM_COMMAND_LINE_H
#define PLATFORM_COMMAND_LINE_H

#include "d88_image.h"
#include "native_path.h"

// Opens the image named by the only argument; it must be a regular file.
// Otherwise prints the usage text (with the program name as typed) or the
// open-failure text on standard error and returns false; the program then
// exits with 1.
bool OpenImageFromCommandLine(D88Image& image, int argc, PathChar** argv);

#endif  // PLATFORM_COMMAND_LINE_H
