// Cuts one stretch of sectors of the selected disk into a file.
#ifndef SOUNDCUT_REGION_CUTTER_H
#define SOUNDCUT_REGION_CUTTER_H

#include <cstdint>

// Reads offset + length bytes of consecutive sectors starting at
// track/c/h/r/n into SectorBuffer and writes the `length` bytes after
// `offset` to the file `name`, all or nothing: when the stretch cannot be
// read whole or the file cannot be written whole, an error line goes to
// standard error and any earlier file of that name is left as it was.
// "cutting ... <name>" is printed once some of the stretch was read.
// Returns true when the file now holds the stretch.
bool CutRegion(const char* name, int32_t track, int32_t c, int32_t h, int32_t r,
               int32_t n, int32_t offset, int32_t length);

#endif  // SOUNDCUT_REGION_CUTTER_H
