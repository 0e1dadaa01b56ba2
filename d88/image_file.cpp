#include "image_file.h"

#include <climits>
#include <cstring>

bool ImageFile::Adopt(FILE* stream) {
  Close();
  file = stream;
  failed = false;
  bufferStart = 0;
  next = end = 0;
  if (file == nullptr) return false;
  // The stream's own buffer would only copy every byte twice (and read ahead
  // of every seek); the buffer here does that job.
  std::setvbuf(file, nullptr, _IONBF, 0);
  return true;
}

// A failure belongs to the file it happened to: with the file closed there
// is none.
void ImageFile::Close() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  failed = false;
}

bool ImageFile::SeekTo(int64_t position) {
  next = end = 0;
  readSize = FirstReadSize;
  if (file == nullptr || failed || position < 0 || position > LONG_MAX) return false;
  if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0) {
    failed = std::ferror(file) != 0;
    return false;
  }
  bufferStart = position;
  return true;
}

// Reads the next stretch of the file into the buffer, never past the last
// position a `long` can name, so that positions stay seekable everywhere.
bool ImageFile::Refill() {
  bufferStart += end;
  next = end = 0;
  if (file == nullptr || failed) return false;
  const int64_t room = LONG_MAX - bufferStart;
  const int32_t wanted = room < readSize ? static_cast<int32_t>(room) : readSize;
  if (wanted <= 0) return false;
  if (readSize < BufferSize) readSize *= 2;
  end = ReadStream(buffer, wanted);
  return end > 0;
}

int32_t ImageFile::ReadStream(unsigned char* destination, int32_t size) {
  const size_t got = std::fread(destination, 1, static_cast<size_t>(size), file);
  if (got < static_cast<size_t>(size) && std::ferror(file) != 0) failed = true;
  // Bytes that came with a failure are not trusted: the caller sees none.
  return failed ? 0 : static_cast<int32_t>(got);
}

int32_t ImageFile::ReadBeyondBuffer(unsigned char* destination, int32_t size) {
  int32_t done = 0;
  // A large read straight after a seek (a disk header) goes directly to the
  // destination rather than through a buffer-sized read.
  if (next == end && size >= DirectReadSize) {
    const int64_t room = LONG_MAX - (bufferStart + end);
    if (file == nullptr || failed || room < size) return 0;
    done = ReadStream(destination, size);
    bufferStart += end + done;
    next = end = 0;
    return done;
  }
  while (done < size) {
    if (next == end && !Refill()) break;
    const int32_t available = end - next;
    const int32_t chunk = size - done < available ? size - done : available;
    std::memcpy(destination + done, buffer + next, static_cast<size_t>(chunk));
    next += chunk;
    done += chunk;
  }
  return failed ? 0 : done;
}

bool ImageFile::SkipBeyondBuffer(int32_t size) {
  if (size < 0) return false;
  int32_t left = size;
  while (left > 0) {
    if (next == end && !Refill()) return false;
    const int32_t available = end - next;
    const int32_t chunk = left < available ? left : available;
    next += chunk;
    left -= chunk;
  }
  return true;
}
