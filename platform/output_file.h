// Writes output files so that each is either complete or not touched at all.
#ifndef PLATFORM_OUTPUT_FILE_H
#define PLATFORM_OUTPUT_FILE_H

#include <cstdint>

#include "native_file.h"
#include "native_path.h"

// A path being put together in a fixed buffer; Append reports whether it
// still fits.
class PathBuilder {
 public:
  bool Append(const PathChar* text, int32_t length);
  // ASCII text, widened where paths are UTF-16.
  bool AppendAscii(const char* text);
  void Clear() {
    used = 0;
    path[0] = 0;
  }
  const PathChar* Path() const { return path; }

 private:
  PathChar path[MaxPathLength] = {};
  int32_t used = 0;
};

// Where one run writes its files, and everything of that run's writing:
// the folder, the budget of waiting for held files, the prefix of its
// temporary names and the paths it puts together. A run starts it afresh
// (Start), so nothing of an earlier run in the same process is used; the
// object is large (three paths), so a program keeps one with static storage.
class OutputFolder {
 public:
  // Files go into the current folder; a temporary file is named like its
  // file followed by `temporaryPrefix` (ASCII, kept by the caller) and 16
  // random hexadecimal digits.
  void Start(const char* temporaryPrefix);

  // Files go into the folder of `path` (the current one when `path` names
  // no folder). False when that folder's name is too long to hold: every
  // file written after that fails, until a call that succeeds.
  bool PlaceBeside(const PathChar* path);

  // Makes the file `name` (a plain ASCII file name) in the folder hold
  // exactly the `length` bytes of `data`.
  //
  // The bytes go to a new temporary file beside it, created exclusively
  // under a name no other run can predict or share; once written and
  // closed, it replaces the file in one step (a link at that name is
  // replaced, not followed). A regular file that already holds exactly
  // these bytes is left as it is. On any failure the temporary file is
  // removed, an earlier file keeps its contents, and the result is false.
  bool WriteFileReplacing(const char* name, const unsigned char* data, int32_t length);

 private:
  bool WriteTemporarySibling(const unsigned char* data, int32_t length);

  // The folder, with its closing separator; empty for the current one.
  // Not terminated: paths are put together from its length.
  PathChar folder[MaxPathLength] = {};
  int32_t folderLength = 0;
  // Set when the folder asked for could not be held: files must then go
  // nowhere rather than into a folder nobody chose.
  bool folderLost = false;
  const char* prefix = "";
  RetryBudget budget;
  PathBuilder target;
  PathBuilder temporary;
};

#endif  // PLATFORM_OUTPUT_FILE_H
