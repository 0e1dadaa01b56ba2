// Writes the bundled sample image (one disk with the layout of the game's
// disk A and invented contents) or, with "slowest", the image that takes
// the reader the longest.
#include <cstdio>
#include <cstring>
#include <exception>

#include "d88_builder.h"
#include "worst_case_images.h"

int main(int argc, char** argv) {
  const bool slowest = argc == 3 && std::strcmp(argv[2], "slowest") == 0;
  if (argc != 2 && !slowest) {
    std::fprintf(stderr, "usage: %s OUTPUT [slowest]\n", argv[0]);
    return 1;
  }
  try {
    d88test::WriteFileBytes(argv[1], slowest ? d88test::SlowestImage() : d88test::Build(d88test::GameDiskA()));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
