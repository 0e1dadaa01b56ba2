// A map of every disk of an image for the page, as JSON: each track's
// records in recorded order (ID and data size), the boot sector, and for a
// recognised disk which sectors each of soundcut's regions needs and
// whether the disk holds them. Everything comes from the image reader.
#ifndef WEB_DISK_MAP_H
#define WEB_DISK_MAP_H

#include <cstdio>

// Writes the map of the image at `imagePath` to `out`. False when the image
// cannot be opened or the map cannot be written.
bool WriteDiskMap(const char* imagePath, FILE* out);

#endif  // WEB_DISK_MAP_H
