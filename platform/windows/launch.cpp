// A Windows console program's facts about its console.
#include "launch.h"

#include "standard_console.h"

ConsoleFacts ThisProcessConsoleFacts() {
  // A shell that started the program shares its console, so the list
  // holds at least two processes then.
  DWORD processes[2];
  ConsoleFacts facts{};
  facts.processesOnConsole = static_cast<int32_t>(GetConsoleProcessList(processes, 2));
  facts.inputIsConsole = StandardConsole(STD_INPUT_HANDLE) != nullptr;
  facts.outputIsConsole = StandardConsole(STD_OUTPUT_HANDLE) != nullptr;
  facts.errorIsConsole = StandardConsole(STD_ERROR_HANDLE) != nullptr;
  return facts;
}
