// Writes the bundled sample image: one disk with the layout of the game's
// disk A and invented contents.
#include <cstdio>
#include <exception>

#include "d88_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
    return 1;
  }
  try {
    d88test::WriteFileBytes(argv[1], d88test::Build(d88test::GameDiskA()));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
