// The file operations of native_file.h on Windows, through the wide (UTF-16)
// calls, so that any name Windows can store is reached unchanged.
#include "native_file.h"

#define _CRT_RAND_S  // rand_s, the C runtime's wrapper of the system's RNG
#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <cwchar>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Paths of MAX_PATH characters or more reach the file system only in the
// extended-length form (\\?\C:\... or \\?\UNC\server\...), which must be
// absolute and is taken literally; shorter ones stay as given, so that
// everything Windows does with an ordinary path (device names such as NUL,
// say) stays as it was. This works on every Windows version, where the
// manifest's longPathAware setting also needs a system-wide policy
// switched on.
bool ExtendedLengthPath(const wchar_t* path, wchar_t (&extended)[MaxPathLength]) {
  if (std::wcsncmp(path, L"\\\\?\\", 4) == 0 || std::wcsncmp(path, L"\\\\.\\", 4) == 0) {
    return false;
  }
  static wchar_t full[MaxPathLength];
  const DWORD length = GetFullPathNameW(path, MaxPathLength, full, nullptr);
  if (length < MAX_PATH || length >= MaxPathLength - 8) return false;
  // \\server\share\... becomes \\?\UNC\server\share\...
  const bool network = full[0] == L'\\' && full[1] == L'\\';
  const wchar_t* prefix = network ? L"\\\\?\\UNC" : L"\\\\?\\";
  const wchar_t* rest = network ? full + 1 : full;
  const size_t prefixLength = std::wcslen(prefix);
  std::wmemcpy(extended, prefix, prefixLength);
  std::wmemcpy(extended + prefixLength, rest, std::wcslen(rest) + 1);
  return true;
}

bool CountsAsLink(uint32_t attributes, uint32_t reparseTag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

namespace {

HANDLE AsHandle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }
NativeFile AsNative(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? NoFile : reinterpret_cast<NativeFile>(handle);
}

// What the file system says of an open file.
struct FileFacts {
  bool onDisk = false;
  DWORD attributes = 0;
  DWORD reparseTag = 0;  // 0 unless a reparse point
  DWORD volume = 0;
  uint64_t index = 0;  // with the volume, the file's identity
  int64_t size = 0;
};

bool FactsOf(HANDLE handle, FileFacts& facts) {
  BY_HANDLE_FILE_INFORMATION info;
  facts.onDisk = GetFileType(handle) == FILE_TYPE_DISK;
  if (!facts.onDisk || !GetFileInformationByHandle(handle, &info)) return false;
  facts.attributes = info.dwFileAttributes;
  facts.volume = info.dwVolumeSerialNumber;
  facts.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  facts.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  if ((facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    facts.reparseTag = tag.ReparseTag;
  }
  return true;
}

bool SameFile(const FileFacts& a, const FileFacts& b) {
  return a.volume == b.volume && a.index == b.index;
}

// Another program (a virus scanner, the search indexer, a viewer) often
// holds a file that was just written for a moment; Windows then refuses to
// replace, create or remove a name with one of these errors, which go away
// once it lets go.
bool HeldByAnotherProgram(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

// Calls `attempt` (true on success, GetLastError() telling why not) again
// after short, growing pauses while the name is held and `waitingCanHelp`,
// as long as the run's budget of waiting lasts. The last error stays that
// of the last attempt.
template <typename Attempt, typename WaitingCanHelp>
bool WhileHeldRetry(RetryBudget& budget, Attempt attempt, WaitingCanHelp waitingCanHelp) {
  for (int32_t pause = 10;; pause *= 2) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    if (!HeldByAnotherProgram(error) || budget.millisecondsLeft <= 0 || !waitingCanHelp()) {
      SetLastError(error);
      return false;
    }
    const int32_t step = pause < budget.millisecondsLeft ? pause : budget.millisecondsLeft;
    Sleep(static_cast<DWORD>(step));
    budget.millisecondsLeft -= step;
    SetLastError(error);
  }
}

template <typename Attempt>
bool WhileHeldRetry(RetryBudget& budget, Attempt attempt) {
  return WhileHeldRetry(budget, attempt, [] { return true; });
}

// Access is denied for good, not for a moment, where a directory or a
// read-only file stands at the name: no wait can change that.
bool MayBeHeldForAMoment(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// A new name refused although nothing stands at it is refused by its
// folder (one the user may not write to): no wait changes that. Something
// at the name (a file being deleted that another program still holds) may
// be gone in a moment.
bool NewNameMayBeFreedInAMoment(const wchar_t* path) {
  if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return MayBeHeldForAMoment(path);
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A path as the wide file APIs take it at any length (see
// ExtendedLengthPath).
class WidePath {
 public:
  explicit WidePath(const wchar_t* path)
      : text(ExtendedLengthPath(path, extended) ? extended : path) {}
  const wchar_t* Text() const { return text; }

 private:
  wchar_t extended[MaxPathLength] = {};
  const wchar_t* text;
};

}  // namespace

FILE* OpenRegularFileForReading(const PathChar* path) {
  const HANDLE handle = CreateFileW(WidePath(path).Text(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  // Links are followed here (the open went through them), so only the type
  // and the directory flag matter.
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* stream = _fdopen(descriptor, "rb");
  if (stream == nullptr) _close(descriptor);
  return stream;
}

// The name is opened itself (a link is not followed) to see what it is.
// Other reparse points (OneDrive placeholders and pinned files, say) are
// plain files whose contents only their file system filter delivers, so
// such a file is opened again through it, and must still be the same file.
NativeFile OpenRegularFileNoFollow(const PathChar* path, int64_t& size) {
  const WidePath wide(path);
  HANDLE handle = CreateFileW(wide.Text(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return NoFile;
  FileFacts facts;
  bool regular = FactsOf(handle, facts) && (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                 !CountsAsLink(facts.attributes, facts.reparseTag);
  if (regular && (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    const HANDLE through = CreateFileW(wide.Text(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(handle);
    handle = through;
    FileFacts reopened;
    regular = handle != INVALID_HANDLE_VALUE && FactsOf(handle, reopened) && SameFile(facts, reopened);
    facts.size = reopened.size;
  }
  if (!regular) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return NoFile;
  }
  size = facts.size;
  return AsNative(handle);
}

CreateResult CreateNewFile(const PathChar* path, NativeFile& file, RetryBudget& budget) {
  const WidePath wide(path);
  HANDLE handle = INVALID_HANDLE_VALUE;
  WhileHeldRetry(
      budget,
      [&] {
        handle = CreateFileW(wide.Text(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE;
      },
      [&] { return NewNameMayBeFreedInAMoment(wide.Text()); });
  file = AsNative(handle);
  if (file != NoFile) return CreateResult::Created;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::NameTaken
                                                                       : CreateResult::Failed;
}

int32_t ReadSome(NativeFile file, unsigned char* buffer, int32_t size) {
  DWORD got = 0;
  if (!ReadFile(AsHandle(file), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
  return static_cast<int32_t>(got);
}

bool WriteAll(NativeFile file, const unsigned char* data, int32_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), data, static_cast<DWORD>(size), &written, nullptr) ||
        written == 0) {
      return false;
    }
    data += written;
    size -= static_cast<int32_t>(written);
  }
  return true;
}

bool CloseFile(NativeFile file) { return CloseHandle(AsHandle(file)) != 0; }

// A plain rename refuses to replace an existing file, so the move is asked
// to; it replaces a link at `to` rather than writing through it.
bool ReplaceName(const PathChar* from, const PathChar* to, RetryBudget& budget) {
  const WidePath source(from);
  const WidePath target(to);
  return WhileHeldRetry(
      budget,
      [&] {
        return MoveFileExW(source.Text(), target.Text(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      },
      [&] { return MayBeHeldForAMoment(target.Text()); });
}

void RemoveName(const PathChar* path, RetryBudget& budget) {
  const WidePath wide(path);
  WhileHeldRetry(budget, [&] { return DeleteFileW(wide.Text()) != 0; });
}

uint64_t UnpredictableNumber() {
  unsigned int high = 0;
  unsigned int low = 0;
  uint64_t value = (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
  if (rand_s(&high) == 0 && rand_s(&low) == 0) {
    value ^= (static_cast<uint64_t>(high) << 32) | low;
  }
  return value;
}
