// What a soundcut run did, as data: which disks it recognised and, for
// each of their regions, whether it was cut and if not why. The console
// messages tell a person; this tells a program (the page renders it), so
// that nothing has to be read back out of the messages.
//
// Plain and of fixed size: the tool owns one beside SectorBuffer, and every
// run starts it afresh.
#ifndef SOUNDCUT_RUN_REPORT_H
#define SOUNDCUT_RUN_REPORT_H

#include <cstdint>

#include "d88_format.h"
#include "d88_image.h"
#include "region_table.h"
#include "sha256.h"

enum class RegionOutcome {
  Cut,             // the file holds the region's bytes
  SectorsMissing,  // a sector of the region is missing or short
  NotWritten,      // the sectors were read, the file could not be written
  ReadFailed,      // the image itself could not be read
};

// A sector the region needs that the reader does not find whole, and
// what it finds instead (never Whole).
struct MissingSector {
  int32_t track, c, h, r, n;
  D88Image::SectorState state;
};

// More than any region of the table needs, so every one is listed.
constexpr int32_t MaxMissingListed = 16;

struct RegionReport {
  const char* file;
  RegionOutcome outcome;
  int32_t bytes;         // written, for Cut
  unsigned char sha256[Sha256Size];  // of the bytes written, for Cut
  int32_t missingCount;  // sectors not there whole; the first ones listed
  MissingSector missing[MaxMissingListed];
};

struct DiskReport {
  int32_t index;        // in the image's chain of disks
  int32_t regionCount;  // regions the run reached, in table order
  RegionReport regions[RegionCount];
};

struct RunReport {
  int exitStatus;
  bool imageOpened;  // false after a usage error, help, version or open failure
  bool readFailed;
  // Where no disk was recognised, what the image is instead: a file of no
  // byte at all, or one whose first disk header is one a D88 writer makes.
  bool imageEmpty;
  bool firstHeaderIsD88;
  int32_t diskCount;  // disks recognised as the game's disk A
  DiskReport disks[MaxDisks];
};

#endif  // SOUNDCUT_RUN_REPORT_H
