// Writes output files so that each is either complete or not touched at all.
#ifndef PLATFORM_OUTPUT_FILE_H
#define PLATFORM_OUTPUT_FILE_H

#include <cstdint>

#include "native_path.h"

// Starts a run's output afresh, forgetting whatever an earlier run in this
// process chose: files go into the current folder, and the run has its own
// budget of waiting for held files (see StartRetryBudget).
void StartOutputFiles();

// Output files go into the current folder, or, after this call, into the
// folder of `path` (the current one when `path` names no folder). False
// when that folder's name is too long to hold: every file written after
// that fails, until a call that succeeds.
bool PlaceOutputFilesBeside(const PathChar* path);

// Makes the file `name` (a plain ASCII file name) in the output folder hold
// exactly the `length` bytes of `data`.
//
// The bytes go to a new temporary file beside it, created exclusively under
// a name no other run can predict or share; once written and closed, it
// replaces the file in one step (a link at that name is replaced, not
// followed). A regular file that already holds exactly these bytes is left
// as it is. On any failure the temporary file is removed, an earlier file
// keeps its contents, and the result is false.
bool WriteFileReplacing(const char* name, const unsigned char* data, int32_t length);

#endif  // PLATFORM_OUTPUT_FILE_H
