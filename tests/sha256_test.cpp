#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sha256.h"
#include "sha256_blocks.h"

namespace {

// The standard's examples, and the lengths either side of where the padding
// needs a second block: {piece, times over, digest}.
const struct {
  std::string piece;
  int times;
  const char* digest;
} Vectors[] = {
    {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"a", 55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {"a", 64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
};

// Each message at once and in uneven pieces, starting and ending inside
// blocks and across them, by one object throughout: Finish starts afresh.
TEST(Sha256Test, GivesTheStandardsDigests) {
  const int32_t pieces[] = {1, 63, 64, 65, 1000, 0, 7};
  Sha256 sha;
  for (const auto& vector : Vectors) {
    std::string message;
    for (int i = 0; i < vector.times; ++i) message += vector.piece;
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    const auto size = static_cast<int32_t>(message.size());
    for (const bool inPieces : {false, true}) {
      for (int32_t done = 0, next = 0; done < size; ++next) {
        const int32_t piece = inPieces ? std::min(pieces[next % 7], size - done) : size;
        sha.Update(bytes + done, piece);
        done += piece;
      }
      unsigned char digest[Sha256Size];
      sha.Finish(digest);
      char hex[Sha256HexSize];
      WriteSha256Hex(digest, hex);
      EXPECT_STREQ(hex, vector.digest) << message.substr(0, 60) << (inPieces ? " in pieces" : "");
    }
  }
}

// The processor's SHA extensions and the portable rounds fold any blocks
// into any state alike (where the processor has them: the digests above
// then came from them, and the portable rounds stand on this).
TEST(Sha256Test, BothWaysOfFoldingBlocksAgree) {
  const unsigned seed = 88;
  std::mt19937 random(seed);
  std::vector<unsigned char> blocks(Sha256BlockSize * 37);
  for (unsigned char& byte : blocks) byte = static_cast<unsigned char>(random());
  uint32_t start[8];
  for (uint32_t& word : start) word = static_cast<uint32_t>(random());
  for (const int32_t count : {1, 2, 37}) {
    uint32_t portable[8], extensions[8];
    std::memcpy(portable, start, sizeof start);
    std::memcpy(extensions, start, sizeof start);
    CompressBlocksPortably(portable, blocks.data(), count);
    if (!CompressBlocksWithShaExtensions(extensions, blocks.data(), count)) {
      GTEST_SKIP() << "no SHA extensions here (seed " << seed << ")";
    }
    EXPECT_TRUE(std::equal(portable, portable + 8, extensions)) << count << " blocks, seed " << seed;
  }
}

}  // namespace
