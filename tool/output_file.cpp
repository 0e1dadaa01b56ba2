#include "output_file.h"

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// The new contents are written under this suffix first.
constexpr char PendingSuffix[] = ".soundcut-tmp";

bool WriteWholeFile(const char* path, const unsigned char* data, int32_t length) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const size_t size = static_cast<size_t>(length);
  bool ok = std::fwrite(data, 1, size, file) == size;
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

// Puts `from` in place of `to`. On Windows a plain rename refuses to replace
// an existing file, so the move is asked to replace it.
bool ReplaceWith(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from, to) == 0;
#endif
}

}  // namespace

bool WriteFileReplacing(const char* name, const unsigned char* data, int32_t length) {
  char pending[FILENAME_MAX];
  const int needed = std::snprintf(pending, sizeof pending, "%s%s", name, PendingSuffix);
  if (needed < 0 || static_cast<size_t>(needed) >= sizeof pending) return false;

  if (WriteWholeFile(pending, data, length) && ReplaceWith(pending, name)) return true;
  std::remove(pending);
  return false;
}
