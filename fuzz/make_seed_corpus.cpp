// Writes the fuzzers' seed corpus into a directory: the sample disk and a
// few damaged variants of it, all made with the tests' image builder.
#include <cstdio>
#include <exception>
#include <string>

#include "d88_builder.h"
#include "worst_case_images.h"

using namespace d88test;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 1;
  }
  const std::string dir = argv[1];
  try {
    const Disk game = GameDiskA();
    const Bytes sample = Build(game);
    WriteFileBytes(dir + "/sample.d88", sample);

    Bytes truncated = sample;
    truncated.resize(sample.size() * 2 / 3);
    WriteFileBytes(dir + "/truncated.d88", truncated);

    Disk counts = game;
    counts.tracks[7][2].count = 0;
    counts.tracks[9][1].count = 1;
    counts.tracks[8][0].data.resize(1000);
    WriteFileBytes(dir + "/damaged-counts.d88", Build(counts));

    Disk noBoot = game;
    noBoot.tracks.erase(0);
    noBoot.trackEntries[5] = -1;
    noBoot.trackEntries[6] = 0x7FFFFFFF;
    WriteFileBytes(dir + "/two-disks.d88", Concat({sample, Build(noBoot)}));
    WriteFileBytes(dir + "/bad-sizes.d88", Concat({HeaderOnlyDisk(688), HeaderOnlyDisk(-1)}));
    WriteFileBytes(dir + "/long-walk.d88", SlowestImage(200));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
