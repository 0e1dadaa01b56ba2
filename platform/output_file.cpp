#include "output_file.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "native_file.h"

namespace {

int32_t PathLength(const PathChar* path) {
  int32_t length = 0;
  while (length < MaxPathLength && path[length] != 0) ++length;
  return length;
}

// Candidate temporary names tried before giving up: each is new random
// bits, so only a folder crowded with planted names exhausts them.
constexpr int CreateAttempts = 100;

// True when `name` is itself a regular file whose contents are exactly
// `data`. Reads at most length + 1 bytes.
bool HoldsExactly(const PathChar* name, const unsigned char* data, int32_t length) {
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

bool IsSeparator(PathChar ch) {
#ifdef _WIN32
  return ch == L'\\' || ch == L'/' || ch == L':';
#else
  return ch == '/';
#endif
}

}  // namespace

bool PathBuilder::Append(const PathChar* text, int32_t length) {
  if (length >= MaxPathLength - used) return false;
  for (int32_t i = 0; i < length; ++i) path[used + i] = text[i];
  used += length;
  path[used] = 0;
  return true;
}

bool PathBuilder::AppendAscii(const char* text) {
  for (; *text != 0; ++text) {
    const PathChar ch = static_cast<PathChar>(*text);
    if (!Append(&ch, 1)) return false;
  }
  return true;
}

void OutputFolder::Start(const char* temporaryPrefix) {
  folderLength = 0;
  folderLost = false;
  prefix = temporaryPrefix;
  budget = RetryBudget{};
  target.Clear();
  temporary.Clear();
}

bool OutputFolder::PlaceBeside(const PathChar* path) {
  const int32_t length = PathLength(path);
  folderLost = length >= MaxPathLength;
  if (folderLost) return false;
  int32_t newLength = length;
  while (newLength > 0 && !IsSeparator(path[newLength - 1])) --newLength;
  for (int32_t i = 0; i < newLength; ++i) folder[i] = path[i];
  folderLength = newLength;
  return true;
}

// Writes the bytes into a new file beside `target` and names it in
// `temporary`. False, with nothing left behind, when that fails.
bool OutputFolder::WriteTemporarySibling(const unsigned char* data, int32_t length) {
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%016" PRIX64, UnpredictableNumber());
    temporary.Clear();
    if (!temporary.Append(target.Path(), PathLength(target.Path())) ||
        !temporary.AppendAscii(prefix) || !temporary.AppendAscii(suffix)) {
      return false;
    }
    NativeFile file = NoFile;
    const CreateResult created = CreateNewFile(temporary.Path(), file, budget);
    if (created == CreateResult::NameTaken) continue;
    if (created == CreateResult::Failed) return false;
    const bool written = WriteAll(file, data, length);
    if (CloseFile(file) && written) return true;
    RemoveName(temporary.Path(), budget);
    return false;
  }
  return false;
}

bool OutputFolder::WriteFileReplacing(const char* name, const unsigned char* data, int32_t length) {
  if (folderLost) return false;
  target.Clear();
  if (!target.Append(folder, folderLength) || !target.AppendAscii(name)) return false;
  // Replacing a file by a rename makes some file systems (ext4) write the new
  // data out at once; a re-run that would change nothing skips all of it.
  if (HoldsExactly(target.Path(), data, length)) return true;
  if (!WriteTemporarySibling(data, length)) return false;
  if (ReplaceName(temporary.Path(), target.Path(), budget)) return true;
  RemoveName(temporary.Path(), budget);
  return false;
}
