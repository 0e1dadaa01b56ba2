// ImageFile: the open image file, read through a buffer of our own.
//
// A track walk reads thousands of 16-byte record headers and skips the data
// between them. Going to the C stream for each of them (and seeking over the
// data) costs a locked call or a system call per record; here a record
// costs a copy out of the buffer. The buffer holds bytes only from the last
// SeekTo on: every operation of D88Image starts with a seek, so nothing
// read by one operation is ever used by the next.
//
// A read or seek that fails with the stream's error flag set (a failing
// medium, a network share that went away) is not the end of the file: it
// is remembered, and from then on nothing more is read until another file
// is adopted, so that no result is built from a half-read image.
#ifndef D88_IMAGE_FILE_H
#define D88_IMAGE_FILE_H

#include <cstdint>
#include <cstdio>
#include <cstring>

class ImageFile {
 public:
  ImageFile() = default;
  ~ImageFile() { Close(); }
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Takes over a stream opened for binary reading (it is closed with this
  // object); closes any file open before. False for nullptr.
  bool Adopt(FILE* stream);
  void Close();
  bool IsOpen() const { return file != nullptr; }
  // Whether a read or seek of this file has failed (not merely ended).
  bool Failed() const { return failed; }

  // Moves to an absolute position and forgets buffered bytes. Refused (no
  // seek at all) where the position does not fit the platform's `long`,
  // and after a failure.
  bool SeekTo(int64_t position);
  // Copies up to `size` bytes from the current position; returns how many
  // were there (fewer at the end of the file).
  int32_t Read(unsigned char* destination, int32_t size) {
    if (size >= 0 && size <= end - next) {  // the common case of a walk
      std::memcpy(destination, buffer + next, static_cast<size_t>(size));
      next += size;
      return size;
    }
    return ReadBeyondBuffer(destination, size);
  }
  // Moves forward by `size` bytes; false when the file ends first.
  bool Skip(int32_t size) {
    if (size >= 0 && size <= end - next) {
      next += size;
      return true;
    }
    return SkipBeyondBuffer(size);
  }

 private:
  int32_t ReadBeyondBuffer(unsigned char* destination, int32_t size);
  bool SkipBeyondBuffer(int32_t size);
  bool Refill();
  // Reads straight from the stream; a short read with the error flag set
  // marks the file as failed.
  int32_t ReadStream(unsigned char* destination, int32_t size);

  static constexpr int32_t BufferSize = 16384;
  static constexpr int32_t DirectReadSize = 512;
  // The first read after a seek is small, as most searches end within a
  // few records; each further one doubles, up to the whole buffer.
  static constexpr int32_t FirstReadSize = 4096;
  FILE* file = nullptr;
  bool failed = false;
  int64_t bufferStart = 0;  // file position of buffer[0]
  int32_t next = 0;         // next byte to deliver
  int32_t end = 0;          // bytes in the buffer
  int32_t readSize = FirstReadSize;  // bytes the next refill asks for
  unsigned char buffer[BufferSize] = {};
};

#endif  // D88_IMAGE_FILE_H
