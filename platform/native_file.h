// The few file operations whose safe form differs between POSIX and
// Windows: opening only regular files, creating a file that must not exist
// yet, and replacing one name by another in a single step.
#ifndef PLATFORM_NATIVE_FILE_H
#define PLATFORM_NATIVE_FILE_H

#include <cstdint>
#include <cstdio>

#include "native_path.h"

// A file descriptor on POSIX, a HANDLE on Windows; NoFile when none.
using NativeFile = intptr_t;
constexpr NativeFile NoFile = -1;

// Opens `path` for binary reading when it is a regular file (a link to one
// is followed). Directories, FIFOs, sockets and devices give nullptr without
// waiting for a writer or a device: the type is checked on the opened file
// itself, so nothing can be swapped in between the check and the reads.
FILE* OpenRegularFileForReading(const PathChar* path);

// Opens `path` for reading when it is itself a regular file: a link at that
// name is not followed, and anything but a regular file gives NoFile.
// `size` receives the file's length.
NativeFile OpenRegularFileNoFollow(const PathChar* path, int64_t& size);

// On Windows, creating, replacing and removing a name that another program
// holds for a moment is tried again after short pauses; all the waits of a
// run share one budget of about a second, so that no number of files can
// multiply it. Each run makes its own (see OutputFolder). POSIX never waits.
struct RetryBudget {
  int32_t millisecondsLeft = 1000;
};

enum class CreateResult { Created, NameTaken, Failed };
// Creates `path` for writing only when nothing at all stands at that name
// (a dangling link counts as something). New files get the usual
// permissions (0666 less the umask on POSIX).
CreateResult CreateNewFile(const PathChar* path, NativeFile& file, RetryBudget& budget);

// Bytes read (0 at the end of the file), or -1 on an error.
int32_t ReadSome(NativeFile file, unsigned char* buffer, int32_t size);
bool WriteAll(NativeFile file, const unsigned char* data, int32_t size);
bool CloseFile(NativeFile file);

// Puts the file `from` in place of the name `to` in one step: a reader of
// `to` sees either the old file or the new one. A link at `to` is itself
// replaced, never followed.
bool ReplaceName(const PathChar* from, const PathChar* to, RetryBudget& budget);
void RemoveName(const PathChar* path, RetryBudget& budget);

#ifdef _WIN32
// Puts the extended-length form (\\?\...) of `path` into `extended` when the
// path is too long for the ordinary form; false when it is not (or is in a
// \\?\ or \\.\ form already) and should be used as it is.
bool ExtendedLengthPath(const wchar_t* path, wchar_t (&extended)[MaxPathLength]);

// Whether a file with these attributes and reparse tag is a link: a
// symbolic link or a junction (mount point). Other reparse points, such as
// cloud placeholders, are files like any other.
bool CountsAsLink(uint32_t attributes, uint32_t reparseTag);
#endif

// A value no other process can guess, for names of temporary files.
uint64_t UnpredictableNumber();

#endif  // PLATFORM_NATIVE_FILE_H
