// Cuts one stretch of sectors of the selected disk into a file.
#ifndef SOUNDCUT_REGION_CUTTER_H
#define SOUNDCUT_REGION_CUTTER_H

#include "region_table.h"

// Reads the stretch of `region` (ReadRegionStretch) into SectorBuffer and
// writes the `length` bytes after its `offset` to its file, all or
// nothing: when the stretch cannot be read whole or the file cannot be
// written whole, an error line goes to standard error and any earlier file
// of that name is left as it was. "cutting ... <name>" is printed once
// some of the stretch was read. Returns true when the file now holds the
// stretch.
bool CutRegion(const Region& region);

#endif  // SOUNDCUT_REGION_CUTTER_H
