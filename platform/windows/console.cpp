// Console text on Windows: shown as Unicode in a console, whatever its
// code page.
#include "console.h"
#include "console_writer.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// Code page 932 text, shown as Unicode in a Windows console.
class ConsoleWriter {
 public:
  explicit ConsoleWriter(const FILE* stream)
      : handle(GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE)) {
    DWORD mode = 0;
    isConsole = handle != INVALID_HANDLE_VALUE && handle != nullptr &&
                GetConsoleMode(handle, &mode) != 0;
  }
  bool IsForAPerson() const { return isConsole; }
  bool Write(FILE* stream, const char* text, int length) {
    std::fflush(stream);  // anything that went out as bytes comes first
    if (length == 0) return true;
    static wchar_t wide[TextCapacity];
    const int count = MultiByteToWideChar(932, 0, text, length, wide, TextCapacity);
    if (count <= 0) return false;
    // A console may take fewer characters than it was given; the rest
    // follows until all are written or a write fails.
    for (int done = 0; done < count;) {
      DWORD written = 0;
      if (WriteConsoleW(handle, wide + done, static_cast<DWORD>(count - done), &written, nullptr) == 0 ||
          written == 0) {
        return false;
      }
      done += static_cast<int>(written);
    }
    return true;
  }

 private:
  HANDLE handle;
  bool isConsole = false;
};

// Each stream's kind is found out once, on its first text.
ConsoleWriter& WriterFor(const FILE* stream) {
  static ConsoleWriter output(stdout);
  static ConsoleWriter error(stderr);
  return stream == stdout ? output : error;
}

}  // namespace

bool IsForAPerson(FILE* stream) { return WriterFor(stream).IsForAPerson(); }

bool WriteForAPerson(FILE* stream, const char* text, int length) {
  return WriterFor(stream).Write(stream, text, length);
}

// Windows has no SIGPIPE: a write to a closed pipe already just fails.
void KeepRunningWhenOutputCloses() {}
