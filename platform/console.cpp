#include "console.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#endif

namespace {

// The program's texts are formatted here before they are converted for a
// person to read; a longer one (a huge program name, say) goes out as bytes.
constexpr int TextCapacity = 8192;

#ifdef _WIN32

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

#else

bool LocaleUsesUtf8() {
  // The user's locale is consulted, then the program goes back to the "C"
  // locale it starts in, so that nothing else changes behaviour.
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const char* codeset = nl_langinfo(CODESET);
  const bool utf8 = codeset != nullptr &&
                    (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  std::setlocale(LC_CTYPE, "C");
  return utf8;
}

// Code page 932 text, shown as UTF-8 on a terminal whose locale uses it.
class ConsoleWriter {
 public:
  explicit ConsoleWriter(FILE* stream) {
    if (isatty(fileno(stream)) == 0 || !LocaleUsesUtf8()) return;
    converter = iconv_open("UTF-8", "CP932");
    // iconv_open reports failure as (iconv_t)-1; without a converter the
    // bytes go out as they are.
    converts = reinterpret_cast<intptr_t>(converter) != -1;
  }
  bool IsForAPerson() const { return converts; }
  bool Write(FILE* stream, const char* text, int length) {
    static char utf8[3 * TextCapacity];  // each byte becomes at most 3
    char* in = const_cast<char*>(text);  // iconv's signature; it only reads
    size_t inLeft = static_cast<size_t>(length);
    char* out = utf8;
    size_t outLeft = sizeof utf8;
    while (inLeft > 0) {
      iconv(converter, &in, &inLeft, &out, &outLeft);
      if (inLeft > 0 && outLeft > 0) {
        // A byte that is no Shift-JIS character is shown as "?".
        *out++ = '?';
        --outLeft;
        ++in;
        --inLeft;
      }
      if (outLeft == 0) break;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    const size_t size = static_cast<size_t>(out - utf8);
    return std::fwrite(utf8, 1, size, stream) == size;
  }

 private:
  iconv_t converter{};
  bool converts = false;
};

#endif

// Each stream's kind is found out once, on its first text.
ConsoleWriter& WriterFor(const FILE* stream) {
  static ConsoleWriter output(stdout);
  static ConsoleWriter error(stderr);
  return stream == stdout ? output : error;
}

// clang-tidy 14 reports va_list as uninitialized after va_start when it
// checks several files in one run; the NOLINTs below silence that alone.

// Set once a text meant for standard output was lost, however it was lost:
// a console write leaves no mark on the C stream.
bool OutputFailed = false;

bool Write(FILE* stream, const char* format, std::va_list arguments) {
  ConsoleWriter& writer = WriterFor(stream);
  if (writer.IsForAPerson()) {
    static char text[TextCapacity];
    std::va_list copy;
    va_copy(copy, arguments);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int length = std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    if (length >= 0 && length < TextCapacity) return writer.Write(stream, text, length);
  }
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  return std::vfprintf(stream, format, arguments) >= 0;
}

}  // namespace

bool PrintOut(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  if (!Write(stdout, format, arguments)) OutputFailed = true;
  va_end(arguments);
  return !OutputFailed && std::ferror(stdout) == 0;
}

void PrintError(const char* format, ...) {
  std::fflush(stdout);
  std::va_list arguments;
  va_start(arguments, format);
  Write(stderr, format, arguments);
  va_end(arguments);
}

bool FinishOutput() {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && !OutputFailed;
}

void KeepRunningWhenOutputCloses() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_IGN);
#endif
}
