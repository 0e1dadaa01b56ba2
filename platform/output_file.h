// Writes an output file so that it is either complete or not touched at all.
#ifndef PLATFORM_OUTPUT_FILE_H
#define PLATFORM_OUTPUT_FILE_H

#include <cstdint>

// Makes the file `name` hold exactly the `length` bytes of `data`.
//
// The bytes go to a new temporary file beside `name`, created exclusively
// under a name no other run can predict or share; once written and closed,
// it replaces `name` in one step (a link at `name` is replaced, not
// followed). A regular file that already holds exactly these bytes is left
// as it is. On any failure the temporary file is removed, an earlier file
// called `name` keeps its contents, and the result is false.
bool WriteFileReplacing(const char* name, const unsigned char* data, int32_t length);

#endif  // PLATFORM_OUTPUT_FILE_H
