// Whether a standard stream of this process is a console, as both the
// console text and the way the program was started need to know.
#ifndef PLATFORM_WINDOWS_STANDARD_CONSOLE_H
#define PLATFORM_WINDOWS_STANDARD_CONSOLE_H

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// The console the standard stream `which` (STD_INPUT_HANDLE, ...) is on;
// nullptr when it goes elsewhere (a file, a pipe) or there is none.
HANDLE StandardConsole(DWORD which);

#endif  // PLATFORM_WINDOWS_STANDARD_CONSOLE_H
