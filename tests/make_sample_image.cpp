// Writes the bundled sample image (one disk with the layout of the game's
// disk A and invented contents), or another image the browser tests and
// the suite use: "slowest", the image that takes the reader the longest;
// "gap", the sample lacking OPMMUS's third sector; "other", an ordinary
// disk that is not the game's; "several", three game disks of different
// contents with an ordinary disk among them.
#include <cstdio>
#include <string>
#include <exception>

#include "d88_builder.h"
#include "worst_case_images.h"

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[2] : "sample";
  if (argc < 2 || argc > 3 || (kind != "sample" && kind != "slowest" && kind != "gap" && kind != "other" &&
                               kind != "several")) {
    std::fprintf(stderr, "usage: %s OUTPUT [sample|slowest|gap|other|several]\n", argv[0]);
    return 1;
  }
  try {
    d88test::Disk disk = d88test::GameDiskA();
    if (kind == "gap") disk.tracks[9].erase(disk.tracks[9].begin() + 2);  // C4 H1 R3
    if (kind == "other") disk = d88test::OrdinaryDisk("Other X1 System ", 2);
    d88test::Bytes image = kind == "slowest" ? d88test::SlowestImage() : d88test::Build(disk);
    if (kind == "several") {
      image = d88test::Concat({d88test::Build(d88test::GameDiskA("FIRST", 1)),
                               d88test::Build(d88test::OrdinaryDisk("Other X1 System ", 2)),
                               d88test::Build(d88test::GameDiskA("SECOND", 2)),
                               d88test::Build(d88test::GameDiskA("THIRD", 3))});
    }
    d88test::WriteFileBytes(argv[1], image);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
