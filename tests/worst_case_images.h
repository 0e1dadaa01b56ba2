// Images that make soundcut work hardest, for the benchmark, the fuzzers'
// seed corpus and the tests that bound the reader's work.
#ifndef TESTS_WORST_CASE_IMAGES_H
#define TESTS_WORST_CASE_IMAGES_H

#include "d88_builder.h"

namespace d88test {

// 64 chained disks of which only the last is the game's disk A; the others
// are ordinary 2D disks (16 sectors of 256 bytes a track) with other boot
// names.
Bytes GameDiskLastOfSixtyFour();

// The slowest image within 2 MiB that we know of: 64 chained disks, all
// recognised, whose tracks 0 and 7-10 all lead through the headers of the
// disks after them (each header reads as one record whose data skips to the
// next header) into one shared run of `emptyRecords` empty records, and only
// then to the boot sector and the twenty 1024-byte sectors every region
// wants. Every one of the some 1,300 sector searches of a run walks the
// whole chain. Each record of the run carries `dataBytes` bytes of data
// (15 is the most that keeps the image within 2 MiB).
Bytes SlowestImage(int emptyRecords = 65440, int dataBytes = 0);

}  // namespace d88test

#endif  // TESTS_WORST_CASE_IMAGES_H
