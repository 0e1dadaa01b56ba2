// File names as the operating system takes them. On Windows they are UTF-16
// (the program starts at wmain and calls the wide APIs), so any name
// Windows can store reaches the program unchanged, whatever the system's
// code page. Elsewhere they are the bytes the program was given.
#ifndef PLATFORM_NATIVE_PATH_H
#define PLATFORM_NATIVE_PATH_H

#include <cstdint>

#ifdef _WIN32
using PathChar = wchar_t;
#define PROGRAM_ENTRY wmain  // mingw-w64 links it with -municode
#else
using PathChar = char;
#define PROGRAM_ENTRY main
#endif

// The longest path handled, in PathChar units with its terminator: the
// limit of Windows' extended-length paths.
constexpr int32_t MaxPathLength = 32768;

// `text` (a program name, say) in the messages' encoding, Shift-JIS, so
// that a redirected stream holds one encoding. The result lives until the
// next call.
const char* InMessageEncoding(const PathChar* text);

// `text` (a path, say) as UTF-8 for a machine-readable output: converted
// from UTF-16 on Windows, the bytes as given elsewhere (a reader of such
// output checks them). The result lives until the next call.
const char* InUtf8(const PathChar* text);

#endif  // PLATFORM_NATIVE_PATH_H
