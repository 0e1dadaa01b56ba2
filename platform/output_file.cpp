#include "output_file.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "native_file.h"

namespace {

// Candidate temporary names tried before giving up: each is new random
// bits, so only a folder crowded with planted names exhausts them.
constexpr int CreateAttempts = 100;

// True when `name` is itself a regular file whose contents are exactly
// `data`. Reads at most length + 1 bytes.
bool HoldsExactly(const char* name, const unsigned char* data, int32_t length) {
  int64_t size = 0;
  const NativeFile file = OpenRegularFileNoFollow(name, size);
  if (file == NoFile) return false;
  bool same = size == length;
  unsigned char chunk[4096];
  int32_t compared = 0;
  while (same && compared < length) {
    const int32_t left = length - compared;
    const int32_t got = ReadSome(file, chunk, left < 4096 ? left : 4096);
    same = got > 0 && std::memcmp(chunk, data + compared, static_cast<size_t>(got)) == 0;
    compared += got;
  }
  // A file that grew since its size was taken still has a byte to give.
  same = same && ReadSome(file, chunk, 1) == 0;
  CloseFile(file);
  return same;
}

// Writes the bytes into a new file beside `name`, whose path goes to
// `temporary`. False, with nothing left behind, when that fails.
bool WriteTemporarySibling(const char* name, const unsigned char* data, int32_t length,
                           char (&temporary)[FILENAME_MAX]) {
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    const int needed = std::snprintf(temporary, sizeof temporary, "%s.soundcut-%016" PRIX64, name,
                                     UnpredictableNumber());
    if (needed < 0 || static_cast<size_t>(needed) >= sizeof temporary) return false;
    NativeFile file = NoFile;
    const CreateResult created = CreateNewFile(temporary, file);
    if (created == CreateResult::NameTaken) continue;
    if (created == CreateResult::Failed) return false;
    const bool written = WriteAll(file, data, length);
    if (CloseFile(file) && written) return true;
    RemoveName(temporary);
    return false;
  }
  return false;
}

}  // namespace

bool WriteFileReplacing(const char* name, const unsigned char* data, int32_t length) {
  // Replacing a file by a rename makes some file systems (ext4) write the new
  // data out at once; a re-run that would change nothing skips all of it.
  if (HoldsExactly(name, data, length)) return true;
  char temporary[FILENAME_MAX];
  if (!WriteTemporarySibling(name, data, length, temporary)) return false;
  if (ReplaceName(temporary, name)) return true;
  RemoveName(temporary);
  return false;
}
