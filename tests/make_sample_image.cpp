// Writes the bundled sample image (one disk with the layout of the game's
// disk A and invented contents), or another image the browser tests and
// the suite use:
//   slowest     the image that takes the reader the longest;
//   gap         the sample lacking OPMMUS's third sector;
//   other       an ordinary disk that is not the game's;
//   shuffled    the sample with every track's records in reverse order;
//   several     three game disks of different contents with an ordinary
//               disk among them;
//   longtrack   a disk whose track 5 holds 30,000 records, so that its
//               listing runs past what the page shows of it;
//   duplicates  64 game disks whose track 0 repeats the boot sector's ID
//               65,000 times;
//   hugelisting 64 disks whose 164 track entries all lead to one track of
//               65,535 records: a 64 MiB image listed in some 8 GB;
//   headers     the sample among disks each with another field of its
//               header that no D88 writer writes;
//   random:N    image number N of a family of damaged and mixed images.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "d88_builder.h"
#include "worst_case_images.h"

namespace {

using d88test::Build;
using d88test::Bytes;
using d88test::Disk;

Disk LongTrack() {
  Disk disk = d88test::GameDiskA("LONG TRACK");
  disk.tracks[5].clear();
  for (int i = 0; i < 30000; ++i) {
    disk.tracks[5].push_back(d88test::MakeRecord(2, 1, i & 0xFF, i >> 8, 30000, Bytes{}));
  }
  return disk;
}

Bytes Duplicates() {
  Disk disk = d88test::GameDiskA("DUPLICATES");
  std::vector<d88test::Record>& track = disk.tracks[0];
  const int count = static_cast<int>(track.size()) + 65000;
  for (d88test::Record& record : track) record.count = count;
  for (int i = 0; i < 65000; ++i) track.push_back(d88test::MakeRecord(0, 0, 1, 1, count, Bytes{}));
  const Bytes one = Build(disk);
  return d88test::Concat(std::vector<Bytes>(64, one));
}

Bytes HugeListing() {
  Disk disk;
  disk.name = "HUGE LISTING";
  for (int i = 0; i < 65535; ++i) {
    disk.tracks[0].push_back(d88test::MakeRecord(0, 0, i & 0xFF, 0, 65535, Bytes{}));
  }
  constexpr int FirstTrackAt = 0x2B0;
  for (int track = 1; track < 164; ++track) disk.trackEntries[track] = FirstTrackAt;
  return d88test::Concat(std::vector<Bytes>(64, Build(disk)));
}

// Disks whose headers are judged not D88, each for another field, and the
// sample among them. The last, whose size is less than a header's, ends
// the chain.
Bytes HeaderFaults() {
  Bytes protectedOddly = Build(d88test::OrdinaryDisk("Other X1 System ", 2));
  protectedOddly[0x1A] = 0x01;
  Disk foreignMedia = d88test::GameDiskA("MEDIA");
  foreignMedia.mediaType = 0x69;
  Disk strayTrack = d88test::OrdinaryDisk("Other X1 System ", 2);
  strayTrack.trackEntries[163] = 0x100;
  return d88test::Concat({protectedOddly, Build(foreignMedia), Build(strayTrack),
                          Build(d88test::GameDiskA()), d88test::HeaderOnlyDisk(600)});
}

bool ImageOfKind(const std::string& kind, Bytes& image) {
  Disk disk = d88test::GameDiskA();
  if (kind == "sample") {
    image = Build(disk);
  } else if (kind == "slowest") {
    image = d88test::SlowestImage();
  } else if (kind == "gap") {
    disk.tracks[9].erase(disk.tracks[9].begin() + 2);  // C4 H1 R3
    image = Build(disk);
  } else if (kind == "shuffled") {
    for (auto& track : disk.tracks) std::reverse(track.second.begin(), track.second.end());
    image = Build(disk);
  } else if (kind == "other") {
    image = Build(d88test::OrdinaryDisk("Other X1 System ", 2));
  } else if (kind == "several") {
    image = d88test::Concat({Build(d88test::GameDiskA("FIRST", 1)),
                             Build(d88test::OrdinaryDisk("Other X1 System ", 2)),
                             Build(d88test::GameDiskA("SECOND", 2)),
                             Build(d88test::GameDiskA("THIRD", 3))});
  } else if (kind == "longtrack") {
    image = Build(LongTrack());
  } else if (kind == "duplicates") {
    image = Duplicates();
  } else if (kind == "hugelisting") {
    image = HugeListing();
  } else if (kind == "headers") {
    image = HeaderFaults();
  } else if (kind.rfind("random:", 0) == 0) {
    image = d88test::RandomImage(static_cast<unsigned>(std::strtoul(kind.c_str() + 7, nullptr, 10)));
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[2] : "sample";
  Bytes image;
  try {
    if (argc < 2 || argc > 3 || !ImageOfKind(kind, image)) {
      std::fprintf(stderr,
                   "usage: %s OUTPUT [sample|slowest|gap|other|shuffled|several|longtrack|duplicates|hugelisting|headers|"
                   "random:N]\n",
                   argv[0]);
      return 1;
    }
    d88test::WriteFileBytes(argv[1], image);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
