// The page's way into the WebAssembly module: both programs, run as they
// run on a console, on an image the page put into the module's in-memory
// file system, and the map of its disks. Each call runs in the folder the
// page made for this image, and sends the standard streams to files there,
// which the page reads as bytes when the call returns.
#include <emscripten/emscripten.h>

#include <cstdio>

#include "d88list.h"
#include "disk_map.h"
#include "soundcut.h"

namespace {

using Program = int (*)(int, char**);

// Standard output and error go to the files (the page's capturing devices)
// named for each run, with no error flag or unread byte left from the run
// before, and standard output in large chunks: a listing may run to
// hundreds of MB.
bool CaptureStreams(const char* outPath, const char* errPath) {
  static char outputBuffer[1 << 16];
  std::fflush(stdout);
  std::fflush(stderr);
  if (std::freopen(outPath, "wb", stdout) == nullptr || std::freopen(errPath, "wb", stderr) == nullptr) {
    return false;
  }
  return std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer) == 0;
}

int RunCaptured(Program program, const char* name, const char* image, const char* outPath,
                const char* errPath) {
  if (!CaptureStreams(outPath, errPath)) return -1;
  std::clearerr(stdout);
  std::clearerr(stderr);
  char programName[16];
  std::snprintf(programName, sizeof programName, "%s", name);
  char imageArgument[256];
  std::snprintf(imageArgument, sizeof imageArgument, "%s", image);
  char* argv[] = {programName, imageArgument, nullptr};
  const int exitCode = program(2, argv);
  std::fflush(stdout);
  std::fflush(stderr);
  return exitCode;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int RunSoundcutOn(const char* image, const char* outPath, const char* errPath) {
  return RunCaptured(RunSoundcut, "soundcut", image, outPath, errPath);
}

EMSCRIPTEN_KEEPALIVE int RunD88ListOn(const char* image, const char* outPath, const char* errPath) {
  return RunCaptured(RunD88List, "d88list", image, outPath, errPath);
}

EMSCRIPTEN_KEEPALIVE int WriteDiskMapOf(const char* image, const char* mapPath) {
  FILE* out = std::fopen(mapPath, "wb");
  if (out == nullptr) return 1;
  const bool written = WriteDiskMap(image, out);
  return std::fclose(out) == 0 && written ? 0 : 1;
}

}  // extern "C"
