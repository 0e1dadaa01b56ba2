// Little-endian field readers for the D88 image records.
//
// Every multi-byte field of an image is decoded byte by byte, so the result
// does not depend on the host's byte order.
#ifndef D88_LE_H
#define D88_LE_H

#include <cstdint>

// bytes[0] + 256 * bytes[1]; always 0..65535, never negative.
inline int32_t ReadLE16(const unsigned char* bytes) {
  return static_cast<int32_t>(bytes[0]) | (static_cast<int32_t>(bytes[1]) << 8);
}

// The four bytes as a two's-complement 32-bit integer. The value is assembled
// in unsigned arithmetic (shifting a byte into the sign bit of a signed int
// would overflow) and then mapped onto the signed range without relying on an
// implementation-defined conversion.
inline int32_t ReadLE32(const unsigned char* bytes) {
  const uint32_t value = static_cast<uint32_t>(bytes[0]) |
                         (static_cast<uint32_t>(bytes[1]) << 8) |
                         (static_cast<uint32_t>(bytes[2]) << 16) |
                         (static_cast<uint32_t>(bytes[3]) << 24);
  if (value <= 0x7FFFFFFFu) return static_cast<int32_t>(value);
  return -static_cast<int32_t>(~value) - 1;
}

#endif  // D88_LE_H
