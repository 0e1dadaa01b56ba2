#include "game_disk.h"

#include <cstring>

#include "boot_sector.h"

static_assert(sizeof GameBootName - 1 == BootNameLength, "a boot name has 16 bytes");

// Only a sector that was really read and is long enough to hold the name
// can match: a disk without one must not be judged by the bytes an earlier
// read left in the buffer.
bool IsGameDiskA(D88Image& image, unsigned char* buffer) {
  return HoldsGameBootName(buffer, ReadBootSector(image, buffer));
}

bool HoldsGameBootName(const unsigned char* sector, int32_t bytesRead) {
  return HoldsBootName(bytesRead) && std::memcmp(sector + BootNameOffset, GameBootName, BootNameLength) == 0;
}

int32_t SectorsOfRun(const D88Image& image, int32_t track, int32_t c, int32_t h, int32_t r,
                     int32_t n, int32_t totalBytes, RunSector* sectors) {
  int32_t count = 0;
  for (int32_t done = 0; done < totalBytes && count < MaxRunSectors;) {
    const int32_t bytes = D88Image::RunChunk(n, totalBytes - done);
    sectors[count++] = {track, c, h, r, n, bytes};
    done += bytes;
    image.StepRun(track, c, h, r);
  }
  return count;
}

int32_t ReadRegionStretch(D88Image& image, const Region& region, unsigned char* buffer,
                          int32_t capacity) {
  // Whatever the table says, the stretch must fit the buffer.
  if (region.offset < 0 || region.length < 0 || region.offset > capacity ||
      region.length > capacity - region.offset) {
    return -1;
  }
  UseGameSectorRange(image);
  return image.ReadSectors(region.track, region.c, region.h, region.r, region.n, buffer,
                           region.offset + region.length);
}

const char* SectorStateName(D88Image::SectorState state) {
  switch (state) {
    case D88Image::SectorState::Whole:
      return "ok";
    case D88Image::SectorState::Short:
      return "short";
    case D88Image::SectorState::OtherSize:
      return "size";
    case D88Image::SectorState::Missing:
      break;
  }
  return "missing";
}
