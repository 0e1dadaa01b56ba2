// A disk's boot sector as the X1 reads it: record C0 H0 R1 N1 on track 0.
// A system disk records its boot name in bytes 1-16 (byte 0 is something
// else), so a boot sector holds a name only when at least 17 bytes of it
// were read.
#ifndef D88_BOOT_SECTOR_H
#define D88_BOOT_SECTOR_H

#include <cstdint>

#include "d88_image.h"

constexpr int32_t BootSectorReadSize = 256;  // at most this much is read
constexpr int32_t BootNameOffset = 1;
constexpr int32_t BootNameLength = 16;

// Reads the boot sector of the selected disk into buffer (which must hold
// BootSectorReadSize bytes); returns the bytes read, 0 when there is none.
inline int32_t ReadBootSector(D88Image& image, unsigned char* buffer) {
  return image.ReadSector(0, 0, 0, 1, 1, buffer, BootSectorReadSize);
}

// Whether a read of `bytesRead` bytes holds the whole boot name; bytes of
// the buffer past them are left over from earlier reads and do not count.
inline bool HoldsBootName(int32_t bytesRead) {
  return bytesRead >= BootNameOffset + BootNameLength;
}

#endif  // D88_BOOT_SECTOR_H
