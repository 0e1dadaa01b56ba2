// Console text on POSIX systems: shown as UTF-8 on a terminal whose
// locale uses it.
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstring>

#include "console.h"
#include "console_writer.h"

namespace {

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

// A converter from code page 932 to UTF-8 for a terminal whose locale uses
// it; none for any other stream, whose bytes go out as they are.
iconv_t ConverterFor(FILE* stream) {
  if (isatty(fileno(stream)) == 0 || !LocaleUsesUtf8()) return nullptr;
  return iconv_open("UTF-8", "CP932");
}

// iconv_open reports failure as (iconv_t)-1.
bool Converts(iconv_t converter) {
  return converter != nullptr && reinterpret_cast<intptr_t>(converter) != -1;
}

// Each stream's kind is found out once, on its first text.
iconv_t ConverterOf(const FILE* stream) {
  static iconv_t output = ConverterFor(stdout);
  static iconv_t error = ConverterFor(stderr);
  return stream == stdout ? output : error;
}

}  // namespace

bool IsForAPerson(FILE* stream) { return Converts(ConverterOf(stream)); }

bool WriteForAPerson(FILE* stream, const char* text, int length) {
  const iconv_t converter = ConverterOf(stream);
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

// A terminal whose text is not converted (a locale other than UTF-8, or a
// UTF-8 one whose converter could not be had) may obey 8-bit controls:
// which encoding it reads is not known.
bool OutputMayObeyC1Controls() { return isatty(fileno(stdout)) != 0 && !IsForAPerson(stdout); }

void KeepRunningWhenOutputCloses() { std::signal(SIGPIPE, SIG_IGN); }
