// Console text on Windows: shown as Unicode in a console, whatever its
// code page.
#include "console.h"
#include "console_writer.h"
#include "standard_console.h"

HANDLE StandardConsole(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  const bool isConsole = handle != INVALID_HANDLE_VALUE && handle != nullptr &&
                         GetConsoleMode(handle, &mode) != 0;
  return isConsole ? handle : nullptr;
}

namespace {

// Each stream's kind is found out once, on its first text; where it is no
// console, the bytes go out as they are.
HANDLE ConsoleOf(const FILE* stream) {
  static const HANDLE output = StandardConsole(STD_OUTPUT_HANDLE);
  static const HANDLE error = StandardConsole(STD_ERROR_HANDLE);
  return stream == stdout ? output : error;
}

}  // namespace

bool IsForAPerson(FILE* stream) { return ConsoleOf(stream) != nullptr; }

// Code page 932 text, shown as Unicode in the console, whatever its code
// page.
bool WriteForAPerson(FILE* stream, const char* text, int length) {
  std::fflush(stream);  // anything that went out as bytes comes first
  if (length == 0) return true;
  static wchar_t wide[TextCapacity];
  const int count = MultiByteToWideChar(932, 0, text, length, wide, TextCapacity);
  if (count <= 0) return false;
  // A console may take fewer characters than it was given; the rest
  // follows until all are written or a write fails.
  for (int done = 0; done < count;) {
    DWORD written = 0;
    if (WriteConsoleW(ConsoleOf(stream), wide + done, static_cast<DWORD>(count - done), &written,
                      nullptr) == 0 ||
        written == 0) {
      return false;
    }
    done += static_cast<int>(written);
  }
  return true;
}

// A console is written Unicode, and anything else is a file or a pipe.
bool OutputMayObeyC1Controls() { return false; }

// Windows has no SIGPIPE: a write to a closed pipe already just fails.
void KeepRunningWhenOutputCloses() {}
