// How the program was started, on every system.
#include "launch.h"

#include <cstdio>

bool StartedOnItsOwnConsole(const ConsoleFacts& facts) {
  return facts.processesOnConsole == 1 && facts.inputIsConsole && facts.outputIsConsole &&
         facts.errorIsConsole;
}

void WaitForEnter() {
  for (int ch = std::getchar(); ch != '\n' && ch != EOF; ch = std::getchar()) {
  }
}
