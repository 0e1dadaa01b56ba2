// The four stretches of disk A that hold the game's sound: a driver (DRV)
// and music data (MUS) for each of the two sound chips, PSG and OPM. Each is
// a run of 1024-byte sectors (N = 3) read with the game's sector range.
#ifndef GAME_REGION_TABLE_H
#define GAME_REGION_TABLE_H

#include <cstdint>

struct Region {
  const char* fileName;  // in the output folder (see output_file.h)
  const char* mark;      // how a map of the disk marks the region's sectors
  int32_t track;         // track index and ID of the first sector
  int32_t c;
  int32_t h;
  int32_t r;
  int32_t n;
  int32_t offset;  // leading bytes of the stretch that are read but not kept
  int32_t length;  // bytes written to the file
};

constexpr int32_t RegionCount = 4;

// In the order they are cut.
constexpr Region RegionTable[RegionCount] = {
    {"PSGDRV", "1", 8, 4, 0, 2, 3, 0, 2048},   // C4 H0 R2-R3
    {"OPMDRV", "2", 8, 4, 0, 4, 3, 0, 2048},   // C4 H0 R4-R5
    {"PSGMUS", "3", 7, 3, 1, 1, 3, 0, 6144},   // C3 H1 R1-R5, then C4 H0 R1
    {"OPMMUS", "4", 9, 4, 1, 1, 3, 0, 10240},  // C4 H1 R1-R5, then C5 H0 R1-R5
};

#endif  // GAME_REGION_TABLE_H
