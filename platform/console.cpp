// Console text on every system: formatting, the order of the two streams,
// and remembering a failed standard output.
#include "console.h"

#include <cstdarg>
#include <cstdio>

#include "console_writer.h"

namespace {

// Set once a text meant for standard output was lost, however it was lost:
// a console write leaves no mark on the C stream.
bool OutputFailed = false;

// clang-tidy 14 reports va_list as uninitialized after va_start when it
// checks several files in one run; the NOLINTs below silence that alone.

bool Write(FILE* stream, const char* format, std::va_list arguments) {
  if (IsForAPerson(stream)) {
    static char text[TextCapacity];
    std::va_list copy;
    va_copy(copy, arguments);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int length = std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    if (length >= 0 && length < TextCapacity) return WriteForAPerson(stream, text, length);
  }
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  return std::vfprintf(stream, format, arguments) >= 0;
}

}  // namespace

bool PrintOut(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  if (!Write(stdout, format, arguments)) OutputFailed = true;
  va_end(arguments);
  return !OutputFailed && std::ferror(stdout) == 0;
}

void PrintError(const char* format, ...) {
  std::fflush(stdout);
  std::va_list arguments;
  va_start(arguments, format);
  Write(stderr, format, arguments);
  va_end(arguments);
}

bool FinishOutput() {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && !OutputFailed;
}
