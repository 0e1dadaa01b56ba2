// The game's disk A as the programs know it: its boot name, the sector
// numbers of its tracks, and the sectors each region of region_table.h
// reads. Facts of the game, kept here once for soundcut, d88list and the
// page; nothing here prints or writes a file.
#ifndef GAME_GAME_DISK_H
#define GAME_GAME_DISK_H

#include <cstdint>

#include "d88_image.h"
#include "region_table.h"

// The boot name of the game's disk A, bytes 1-16 of its boot sector.
constexpr char GameBootName[] = "Brevindor X1 Sys";
// The game's disks have five sectors per track, numbered 1-5.
constexpr int32_t GameFirstSector = 1;
constexpr int32_t GameLastSector = 5;
// How a map of the disk marks the boot sector.
constexpr char BootMark[] = "B";

// Gives the selected disk of `image` the game's sector range.
inline void UseGameSectorRange(D88Image& image) {
  image.SetSectorRange(GameFirstSector, GameLastSector);
}

// Whether the selected disk of `image` is the game's disk A: its boot
// sector, read into `buffer` (BootSectorReadSize bytes), holds the game's
// boot name in bytes 1-16.
bool IsGameDiskA(D88Image& image, unsigned char* buffer);
// The same judgement of a boot sector read already: `bytesRead` of it.
bool HoldsGameBootName(const unsigned char* sector, int32_t bytesRead);

// How the documents name what the reader finds of a sector a region
// needs: "ok", "short", "size" or "missing".
const char* SectorStateName(D88Image::SectorState state);

// One sector a run reads, and how many of its bytes it needs.
struct RunSector {
  int32_t track, c, h, r, n, bytes;
};
// The most sectors listed for one run: the game's regions need at most 10
// (their length in 128-byte sectors is at most 80). A longer run's list
// stops here.
constexpr int32_t MaxRunSectors = 256;

// The sectors a run of `totalBytes` from track/c/h/r/n reads, in the order
// it reads them, stepped with the image's sector range; returns how many
// (at most MaxRunSectors) were put into `sectors`.
int32_t SectorsOfRun(const D88Image& image, int32_t track, int32_t c, int32_t h, int32_t r,
                     int32_t n, int32_t totalBytes, RunSector* sectors);

// The sectors a region of the table needs.
inline int32_t SectorsOfRegion(const D88Image& image, const Region& region, RunSector* sectors) {
  return SectorsOfRun(image, region.track, region.c, region.h, region.r, region.n,
                      region.offset + region.length, sectors);
}

// Reads the stretch a region's run covers (its `offset` bytes, then the
// `length` bytes its file holds) from the selected disk into `buffer`,
// which holds `capacity` bytes, giving the disk the game's sector range
// first. Returns the bytes read: the whole stretch, or fewer where a
// sector is missing or short (0 after a failed read: see ReadFailed);
// -1, with nothing read, when the stretch does not fit `capacity`.
// The one read of a region, soundcut's cut and its digest alike.
int32_t ReadRegionStretch(D88Image& image, const Region& region, unsigned char* buffer,
                          int32_t capacity);

// Whether `bytesRead` by ReadRegionStretch give the region's file: every
// byte of a stretch that is not empty.
inline bool HoldsWholeRegion(const Region& region, int32_t bytesRead) {
  return bytesRead > 0 && bytesRead == region.offset + region.length;
}

#endif  // GAME_GAME_DISK_H
