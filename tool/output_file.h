// Writes an output file so that it is either complete or not touched at all.
#ifndef TOOL_OUTPUT_FILE_H
#define TOOL_OUTPUT_FILE_H

#include <cstdint>

// Writes `length` bytes to a new file beside `name` and, once they are all
// written, flushed and closed, puts it in place of `name` (replacing an
// existing file, never appending). On any failure the new file is removed,
// an earlier file called `name` keeps its contents, and the result is false.
bool WriteFileReplacing(const char* name, const unsigned char* data, int32_t length);

#endif  // TOOL_OUTPUT_FILE_H
