#include "sha256.h"

#include <cstring>

#include "sha256_blocks.h"

const uint32_t Sha256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

constexpr uint32_t InitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

uint32_t RotateRight(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

uint32_t ReadBE32(const unsigned char* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
         uint32_t{bytes[3]};
}

void WriteBE32(uint32_t value, unsigned char* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

void CompressBlock(uint32_t (&state)[8], const unsigned char* block) {
  uint32_t w[64];
  for (int t = 0; t < 16; ++t, block += 4) w[t] = ReadBE32(block);
  for (int t = 16; t < 64; ++t) {
    const uint32_t s0 = RotateRight(w[t - 15], 7) ^ RotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const uint32_t s1 = RotateRight(w[t - 2], 17) ^ RotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];
  uint32_t e = state[4];
  uint32_t f = state[5];
  uint32_t g = state[6];
  uint32_t h = state[7];
  for (int t = 0; t < 64; ++t) {
    const uint32_t sum1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
    const uint32_t choice = (e & f) ^ (~e & g);
    const uint32_t t1 = h + sum1 + choice + Sha256RoundConstants[t] + w[t];
    const uint32_t sum0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
    const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    const uint32_t t2 = sum0 + majority;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

}  // namespace

void Sha256::Start() {
  std::memcpy(state, InitialState, sizeof state);
  totalBytes = 0;
  pendingBytes = 0;
}

void CompressBlocksPortably(uint32_t (&state)[8], const unsigned char* blocks, int32_t count) {
  for (; count > 0; --count, blocks += Sha256BlockSize) CompressBlock(state, blocks);
}

void Sha256::Compress(const unsigned char* blocks, int32_t count) {
  if (!CompressBlocksWithShaExtensions(state, blocks, count)) CompressBlocksPortably(state, blocks, count);
}

void Sha256::Update(const unsigned char* bytes, int32_t size) {
  if (size <= 0) return;
  totalBytes += static_cast<uint64_t>(size);
  // Top up a block begun by an earlier piece first; whole blocks of this
  // piece are then compressed where they lie, without a copy.
  if (pendingBytes > 0) {
    const int32_t taken = size < BlockSize - pendingBytes ? size : BlockSize - pendingBytes;
    std::memcpy(pending + pendingBytes, bytes, static_cast<size_t>(taken));
    pendingBytes += taken;
    bytes += taken;
    size -= taken;
    if (pendingBytes < BlockSize) return;
    Compress(pending, 1);
    pendingBytes = 0;
  }
  const int32_t wholeBytes = size - size % BlockSize;
  Compress(bytes, wholeBytes / BlockSize);
  bytes += wholeBytes;
  size -= wholeBytes;
  std::memcpy(pending, bytes, static_cast<size_t>(size));
  pendingBytes = size;
}

// The padding: a one bit, zeros up to 8 bytes short of a block's end, then
// the message's length in bits, big-endian; a second block when the first
// has no room left for the length.
void Sha256::Finish(unsigned char (&digest)[Sha256Size]) {
  const uint64_t totalBits = totalBytes << 3;
  pending[pendingBytes++] = 0x80;
  if (pendingBytes > BlockSize - 8) {
    std::memset(pending + pendingBytes, 0, static_cast<size_t>(BlockSize - pendingBytes));
    Compress(pending, 1);
    pendingBytes = 0;
  }
  std::memset(pending + pendingBytes, 0, static_cast<size_t>(BlockSize - 8 - pendingBytes));
  WriteBE32(static_cast<uint32_t>(totalBits >> 32), pending + BlockSize - 8);
  WriteBE32(static_cast<uint32_t>(totalBits), pending + BlockSize - 4);
  Compress(pending, 1);
  unsigned char* out = digest;
  for (const uint32_t word : state) {
    WriteBE32(word, out);
    out += 4;
  }
  Start();
}

void WriteSha256Hex(const unsigned char (&digest)[Sha256Size], char (&hex)[Sha256HexSize]) {
  static const char Digits[] = "0123456789abcdef";
  char* out = hex;
  for (const unsigned char byte : digest) {
    *out++ = Digits[byte >> 4];
    *out++ = Digits[byte & 0x0F];
  }
  *out = '\0';
}
