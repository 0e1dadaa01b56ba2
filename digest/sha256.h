// SHA-256 (FIPS 180-4), fed in pieces of any size: what identifies a file
// or a disk's contents where the page and the programs need a name for
// bytes. No heap, no tables beyond the round constants; the state is the
// object, so any number of digests may run side by side.
#ifndef DIGEST_SHA256_H
#define DIGEST_SHA256_H

#include <cstdint>

constexpr int32_t Sha256Size = 32;          // bytes of a digest
constexpr int32_t Sha256HexSize = 2 * Sha256Size + 1;  // its hex digits and a NUL

class Sha256 {
 public:
  Sha256() noexcept { Start(); }

  // Forgets everything fed so far: the digest of nothing starts here.
  void Start();
  // Feeds `size` bytes; nothing for a size of 0 or less.
  void Update(const unsigned char* bytes, int32_t size);
  // Writes the digest of everything fed since Start, then starts again.
  void Finish(unsigned char (&digest)[Sha256Size]);

 private:
  static constexpr int32_t BlockSize = 64;
  void Compress(const unsigned char* blocks, int32_t count);

  uint32_t state[8] = {};
  uint64_t totalBytes = 0;  // counted modulo 2^64, as the padding states it
  unsigned char pending[BlockSize] = {};
  int32_t pendingBytes = 0;
};

// The digest as 64 lowercase hexadecimal digits, as sha256sum writes it,
// and a terminating NUL.
void WriteSha256Hex(const unsigned char (&digest)[Sha256Size], char (&hex)[Sha256HexSize]);

#endif  // DIGEST_SHA256_H
