// SHA-256's blocks with the x86 SHA extensions: the state is kept as the
// instructions want it (ABEF and CDGH), four rounds take one message
// vector, and each new vector comes from the four before it.
#include "sha256_blocks.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>

namespace {

bool ProcessorHasShaExtensions() {
  unsigned a = 0;
  unsigned b = 0;
  unsigned c = 0;
  unsigned d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  const bool vectors = (c & bit_SSSE3) != 0 && (c & bit_SSE4_1) != 0;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  return vectors && (b & bit_SHA) != 0;
}

__attribute__((target("sha,sse4.1,ssse3"))) void Compress(uint32_t (&state)[8], const unsigned char* blocks,
                                                          int32_t count) {
  // Each 32-bit word of a block is big-endian.
  const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count > 0; --count, blocks += Sha256BlockSize) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    __m128i message[4];
    for (int group = 0; group < 16; ++group) {
      __m128i& words = message[group & 3];
      const int32_t first = 4 * group;  // of the group's words and rounds
      if (group < 4) {
        const int32_t offset = first * 4;
        const unsigned char* bytes = blocks + offset;
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), byteOrder);
      } else {
        // words held the vector four groups back.
        const __m128i& last = message[(group - 1) & 3];
        const __m128i sevenBack = _mm_alignr_epi8(last, message[(group - 2) & 3], 4);
        words = _mm_sha256msg2_epu32(
            _mm_add_epi32(_mm_sha256msg1_epu32(words, message[(group - 3) & 3]), sevenBack), last);
      }
      const __m128i roundInput = _mm_add_epi32(
          words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&Sha256RoundConstants[first])));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, roundInput);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(roundInput, 0x0E));
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

}  // namespace

bool CompressBlocksWithShaExtensions(uint32_t (&state)[8], const unsigned char* blocks, int32_t count) {
  static const bool available = ProcessorHasShaExtensions();
  if (!available) return false;
  Compress(state, blocks, count);
  return true;
}

#else

bool CompressBlocksWithShaExtensions(uint32_t (&)[8], const unsigned char*, int32_t) { return false; }

#endif
