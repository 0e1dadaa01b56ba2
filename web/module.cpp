// The page's way into the WebAssembly module: both programs, run as they
// run on a console, on an image the page put into the module's in-memory
// file system; the outcome of the soundcut run; the document of the image
// that d88list --json writes (limited for the map); and the game's facts.
// Each document is described by the schema beside its writer. The
// programs' standard streams go to the devices the page names, which it
// reads as bytes when the call returns.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>

#include "d88_image.h"
#include "d88list.h"
#include "facts_document.h"
#include "image_document.h"
#include "outcome_document.h"
#include "soundcut.h"
#include "version.h"

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

// The reader of WriteImageJsonOf: opened and closed by each call. Some
// 17 KB, too much for the module's small stack.
D88Image MapImage;

// Whether the last RunSoundcutOn ran soundcut: where it could not even
// capture its streams, the report is still the image before's, which no
// outcome may be made of.
bool SoundcutRan = false;

// Closes a file written by one of the calls below; 0 when it was written
// whole.
int Closed(FILE* out) {
  const bool written = std::ferror(out) == 0;
  return std::fclose(out) == 0 && written ? 0 : 1;
}

}  // namespace

extern "C" {

// Writes the outcome of the last RunSoundcutOn (outcome_document.h) to
// `path`; 0 when it was written, 1 also when that call ran nothing.
EMSCRIPTEN_KEEPALIVE int WriteSoundcutOutcome(const char* path) {
  if (!SoundcutRan) return 1;
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  WriteOutcomeDocument(LastSoundcutReport(), out);
  return Closed(out);
}

// Writes the document d88list --json writes for `image` to `path`; with
// cellBudget >= 0, each track's records limited as the map shows them. 0
// when it was written (a failed read of the image is in the document);
// 1 when the image cannot be opened or the file cannot be written.
EMSCRIPTEN_KEEPALIVE int WriteImageJsonOf(const char* image, const char* path, int32_t cellBudget) {
  if (!MapImage.Open(image)) return 1;
  FILE* out = std::fopen(path, "wb");
  if (out != nullptr) WriteImageDocument(MapImage, {"d88list", SOUNDCUT_VERSION, image}, cellBudget, out);
  MapImage.Open(nullptr);
  return out == nullptr ? 1 : Closed(out);
}

// Writes the game's facts (game_disk.h, region_table.h) to `path`.
EMSCRIPTEN_KEEPALIVE int WriteGameFacts(const char* path) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  WriteFactsDocument(out);
  return Closed(out);
}

EMSCRIPTEN_KEEPALIVE int RunSoundcutOn(const char* image, const char* outPath, const char* errPath) {
  SoundcutRan = false;
  const int exitCode = RunCaptured(RunSoundcut, "soundcut", image, outPath, errPath);
  SoundcutRan = exitCode >= 0;
  return exitCode;
}

EMSCRIPTEN_KEEPALIVE int RunD88ListOn(const char* image, const char* outPath, const char* errPath) {
  return RunCaptured(RunD88List, "d88list", image, outPath, errPath);
}

}  // extern "C"
