// Values for a fuzz target's calls, taken from the input bytes from the end
// backwards (the image itself is read from the start), so that the fuzzer
// steers the arguments as well as the image.
#ifndef FUZZ_FUZZ_INPUT_H
#define FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class FuzzControls {
 public:
  FuzzControls(const uint8_t* data, size_t size) : data_(data), left_(size) {}

  uint8_t Byte() { return left_ == 0 ? 0 : data_[--left_]; }
  int32_t Any32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
    return static_cast<int32_t>(value);
  }
  // Mostly a value in [low, high]; now and then any 32-bit value, so that
  // the edges (negative, huge) are tried too.
  int32_t Near(int32_t low, int32_t high) {
    const uint8_t mode = Byte();
    if (mode >= 240) return Any32();
    const int64_t span = static_cast<int64_t>(high) - low + 1;
    const uint32_t pick = (static_cast<uint32_t>(Byte()) << 8) | Byte();
    return static_cast<int32_t>(low + static_cast<int64_t>(pick % span));
  }

 private:
  const uint8_t* data_;
  size_t left_;
};

// Writes the input to `path`; false when that fails.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

#endif  // FUZZ_FUZZ_INPUT_H
