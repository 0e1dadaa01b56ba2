#include "launch.h"

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

bool StartedOnItsOwnConsole(const ConsoleFacts& facts) {
  return facts.processesOnConsole == 1 && facts.inputIsConsole && facts.outputIsConsole &&
         facts.errorIsConsole;
}

#ifdef _WIN32

namespace {

bool IsConsole(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

ConsoleFacts ThisProcessConsoleFacts() {
  // A shell that started the program shares its console, so the list
  // holds at least two processes then.
  DWORD processes[2];
  ConsoleFacts facts{};
  facts.processesOnConsole = static_cast<int32_t>(GetConsoleProcessList(processes, 2));
  facts.inputIsConsole = IsConsole(STD_INPUT_HANDLE);
  facts.outputIsConsole = IsConsole(STD_OUTPUT_HANDLE);
  facts.errorIsConsole = IsConsole(STD_ERROR_HANDLE);
  return facts;
}

#else

ConsoleFacts ThisProcessConsoleFacts() { return ConsoleFacts{0, false, false, false}; }

#endif

void WaitForEnter() {
  for (int ch = std::getchar(); ch != '\n' && ch != EOF; ch = std::getchar()) {
  }
}
