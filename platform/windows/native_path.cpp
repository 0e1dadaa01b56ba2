// Windows arguments are UTF-16; messages are code page 932.
#include "native_path.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Characters code page 932 lacks become "?".
const char* InMessageEncoding(const PathChar* text) {
  static char converted[4 * MaxPathLength];
  const int size = WideCharToMultiByte(932, 0, text, -1, converted, sizeof converted, nullptr, nullptr);
  return size > 0 ? converted : "";
}

// A lone surrogate becomes U+FFFD.
const char* InUtf8(const PathChar* text) {
  static char converted[4 * MaxPathLength];
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, converted, sizeof converted, nullptr, nullptr);
  return size > 0 ? converted : "";
}
