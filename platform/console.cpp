#include "console.h"

#include <cstdarg>
#include <cstdio>

// clang-tidy 14 reports va_list as uninitialized after va_start when it
// checks several files in one run; the NOLINTs below silence that alone.

bool PrintOut(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  const int written = std::vfprintf(stdout, format, arguments);
  va_end(arguments);
  return written >= 0 && std::ferror(stdout) == 0;
}

void PrintError(const char* format, ...) {
  std::fflush(stdout);
  std::va_list arguments;
  va_start(arguments, format);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
}

bool FinishOutput() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }
