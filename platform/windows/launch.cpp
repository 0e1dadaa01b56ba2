// A Windows console program's facts about its console.
#include "launch.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

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
