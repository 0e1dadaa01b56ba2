// What became of an image, decided once from the report of soundcut's run
// on it: the verdict, and for each of the four files the disk whose bytes
// it holds and every later disk that could not give them, and why. The
// page and its table show this and decide nothing of their own.
#ifndef SOUNDCUT_IMAGE_OUTCOME_H
#define SOUNDCUT_IMAGE_OUTCOME_H

#include <cstdint>

#include "region_table.h"
#include "run_report.h"

enum class ImageVerdict {
  Cut,          // each file was cut, from some disk
  PartlyCut,    // a disk A was found, but some file came from no disk
  NoDiskA,      // a D88 image without the game's disk A
  NotD88Image,  // its first disk header is none a D88 writer makes
  Empty,        // the file holds no byte
  ReadFailed,   // the image could not be read before anything was cut
  NotRun,       // no image was opened: usage, help, version, open failure
};

// A disk after the one a file's bytes came from (or any disk, for a file
// that came from none) whose cut of that file failed.
struct FileFailure {
  int32_t disk;                 // in the image's chain of disks
  const RegionReport* region;   // why; nullptr when the run never got to it
};

struct FileOutcome {
  const char* file;
  // The disk whose bytes the file holds, -1 for none: the last that gave
  // them, as each cut replaces the file an earlier one wrote.
  int32_t fromDisk;
  int32_t bytes;
  const unsigned char (*sha256)[Sha256Size];  // of the file's bytes; nullptr for none
  int32_t failureCount;
  FileFailure failures[MaxDisks];
};

struct ImageOutcome {
  ImageVerdict verdict;
  FileOutcome files[RegionCount];  // in table order
};

// Decides the outcome of the run `report` tells of. The outcome points
// into `report`, which must outlive it.
void DecideImageOutcome(const RunReport& report, ImageOutcome& outcome);

// The verdict's name in the documents the page reads.
const char* VerdictName(ImageVerdict verdict);

#endif  // SOUNDCUT_IMAGE_OUTCOME_H
