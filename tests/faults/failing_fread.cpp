// Preloaded into a program (LD_PRELOAD, glibc) by the fault-injection test:
// from the FAILING_FREAD_FROM-th call on, every fread fails as it does on a
// failing medium (a USB stick, a scratched CD-R, a share that went away):
// no bytes, errno EIO and the stream's error flag set. glibc's stdio reads
// through its own internal calls, which no preloaded `read` would see, so
// fread itself is replaced.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using Fread = size_t (*)(void*, size_t, size_t, FILE*);

long FirstFailingCall() {
  const char* from = std::getenv("FAILING_FREAD_FROM");
  return from == nullptr ? 0 : std::strtol(from, nullptr, 10);
}

}  // namespace

extern "C" size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
  static const Fread real = reinterpret_cast<Fread>(dlsym(RTLD_NEXT, "fread"));
  static const long failFrom = FirstFailingCall();
  static long calls = 0;
  if (failFrom > 0 && ++calls >= failFrom) {
    errno = EIO;
    stream->_flags |= _IO_ERR_SEEN;
    return 0;
  }
  return real(buffer, size, count, stream);
}
