// Fuzzes a whole soundcut run on the input image, in a scratch directory of
// its own. The process-wide image reader and sector buffer live on from one
// input to the next, as they would if a run were repeated in one process.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"
#include "soundcut.h"

namespace {

char Scratch[] = "/tmp/soundcut-fuzz-XXXXXX";
char Home[4096];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (mkdtemp(Scratch) == nullptr || getcwd(Home, sizeof Home) == nullptr) {
    std::perror("soundcut fuzzer: scratch directory");
    std::exit(1);
  }
  return 0;
}

// soundcut writes its files into the current directory: each run goes into
// the scratch directory and back, so that libFuzzer's own relative paths
// (corpus, artifacts) keep working.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (chdir(Scratch) != 0) std::abort();
  if (WriteInput("image.d88", data, size)) {
    char program[] = "soundcut";
    char image[] = "image.d88";
    char* argv[] = {program, image, nullptr};
    RunSoundcut(2, argv);
  }
  if (chdir(Home) != 0) std::abort();
  return 0;
}
