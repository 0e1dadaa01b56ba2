// The heart of SHA-256: whole 64-byte blocks folded into the state. Two
// ways, one result: the portable one everywhere, and on x86-64 processors
// that have them, the SHA extensions, some ten times faster (a disk's
// content digest reads every byte of its data). Sha256 takes whichever the
// processor has; the tests hold the two against each other.
#ifndef DIGEST_SHA256_BLOCKS_H
#define DIGEST_SHA256_BLOCKS_H

#include <cstdint>

constexpr int32_t Sha256BlockSize = 64;

// The round constants of FIPS 180-4, in order.
extern const uint32_t Sha256RoundConstants[64];

void CompressBlocksPortably(uint32_t (&state)[8], const unsigned char* blocks, int32_t count);

// False, changing nothing, where the processor (or the build) has no SHA
// extensions.
bool CompressBlocksWithShaExtensions(uint32_t (&state)[8], const unsigned char* blocks, int32_t count);

#endif  // DIGEST_SHA256_BLOCKS_H
