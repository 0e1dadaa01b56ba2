// How the program was started: from a shell, a script or another program,
// or on a console window of its own (Windows Explorer starts a console
// program that way when a file is dropped on it or it is double-clicked).
// Started on its own console, the window closes as soon as the program
// ends, so the program waits for the user to read what it printed.
#ifndef PLATFORM_LAUNCH_H
#define PLATFORM_LAUNCH_H

#include <cstdint>

// What a process finds out about its console.
struct ConsoleFacts {
  int32_t processesOnConsole;  // 0 when it has no console
  bool inputIsConsole;
  bool outputIsConsole;
  bool errorIsConsole;
};

// True only when the process is alone on its console and all three standard
// streams are that console. Guessing wrong the other way would make a
// caller's run wait for Enter forever, so any doubt means "not on its own".
bool StartedOnItsOwnConsole(const ConsoleFacts& facts);

// This process's facts; on systems without consoles of that kind, none.
ConsoleFacts ThisProcessConsoleFacts();

// Waits until the user presses Enter (or standard input ends).
void WaitForEnter();

#endif  // PLATFORM_LAUNCH_H
