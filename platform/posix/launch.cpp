// POSIX systems have no console windows that close with the program.
#include "launch.h"

ConsoleFacts ThisProcessConsoleFacts() { return ConsoleFacts{0, false, false, false}; }
