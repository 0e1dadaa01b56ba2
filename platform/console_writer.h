// How console.cpp shows text to a person on this system: whether a
// standard stream is read by one (a Windows console; a POSIX terminal whose
// locale uses UTF-8) and writing Shift-JIS text to it as they read it. One
// implementation per system.
#ifndef PLATFORM_CONSOLE_WRITER_H
#define PLATFORM_CONSOLE_WRITER_H

#include <cstdio>

// The program's texts are formatted into a buffer of this size before they
// are converted for a person to read; a longer one (a huge program name,
// say) goes out as bytes.
constexpr int TextCapacity = 8192;

// For stdout and stderr. Each stream's kind is found out once, on its first
// text.
bool IsForAPerson(FILE* stream);
// Writes `length` bytes of Shift-JIS `text` to a stream that IsForAPerson.
// False when any of it was lost.
bool WriteForAPerson(FILE* stream, const char* text, int length);

#endif  // PLATFORM_CONSOLE_WRITER_H
