// The file operations of native_file.h on POSIX systems.
#include "native_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

namespace {

bool IsRegularFile(int descriptor, int64_t& size) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  size = static_cast<int64_t>(status.st_size);
  return true;
}

// Opens without waiting: a FIFO with no writer or a device that is not ready
// would otherwise hold the open until they are.
int OpenForReading(const PathChar* path, int extraFlags, int64_t& size) {
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | extraFlags);
  if (descriptor < 0) return -1;
  if (!IsRegularFile(descriptor, size)) {
    close(descriptor);
    return -1;
  }
  // Reads of a regular file never wait anyway; the stream gets an ordinary
  // descriptor all the same.
  const int flags = fcntl(descriptor, F_GETFL);
  if (flags >= 0) fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
  return descriptor;
}

}  // namespace

FILE* OpenRegularFileForReading(const PathChar* path) {
  int64_t size = 0;
  const int descriptor = OpenForReading(path, 0, size);
  if (descriptor < 0) return nullptr;
  FILE* stream = fdopen(descriptor, "rb");
  if (stream == nullptr) close(descriptor);
  return stream;
}

NativeFile OpenRegularFileNoFollow(const PathChar* path, int64_t& size) {
  return OpenForReading(path, O_NOFOLLOW, size);
}

CreateResult CreateNewFile(const PathChar* path, NativeFile& file, RetryBudget&) {
  // O_EXCL with O_CREAT fails on anything standing at the name, a link
  // included, so nothing planted there is ever written through.
  constexpr mode_t UsualPermissions = 0666;  // less the umask, as fopen gives
  const int descriptor =
      open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, UsualPermissions);
  file = descriptor;
  if (descriptor >= 0) return CreateResult::Created;
  return errno == EEXIST ? CreateResult::NameTaken : CreateResult::Failed;
}

int32_t ReadSome(NativeFile file, unsigned char* buffer, int32_t size) {
  for (;;) {
    const ssize_t got = read(static_cast<int>(file), buffer, static_cast<size_t>(size));
    if (got >= 0) return static_cast<int32_t>(got);
    if (errno != EINTR) return -1;
  }
}

bool WriteAll(NativeFile file, const unsigned char* data, int32_t size) {
  while (size > 0) {
    const ssize_t written = write(static_cast<int>(file), data, static_cast<size_t>(size));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<int32_t>(written);
  }
  return true;
}

bool CloseFile(NativeFile file) { return close(static_cast<int>(file)) == 0; }

bool ReplaceName(const PathChar* from, const PathChar* to, RetryBudget&) {
  return std::rename(from, to) == 0;
}

void RemoveName(const PathChar* path, RetryBudget&) { unlink(path); }

uint64_t UnpredictableNumber() {
  uint64_t value = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(std::time(nullptr));
  uint64_t random = 0;
  const int source = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (source >= 0) {
    if (read(source, &random, sizeof random) == static_cast<ssize_t>(sizeof random)) value ^= random;
    close(source);
  }
  return value;
}
