#include "quoted_text.h"

namespace {

bool IsPlainAscii(unsigned char byte) {
  return byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\';
}

bool IsHalfWidthKatakana(unsigned char byte) { return byte >= 0xA1 && byte <= 0xDF; }

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A trail byte may be '\\' (0x5C), as in ソ (83 5C): it belongs to its
// character and is kept with it.
bool IsTrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

char* Escaped(unsigned char byte, char* out) {
  static const char Hex[] = "0123456789ABCDEF";
  *out++ = '\\';
  *out++ = 'x';
  *out++ = Hex[byte >> 4];
  *out++ = Hex[byte & 0x0F];
  return out;
}

}  // namespace

void Quote(const unsigned char* bytes, int32_t length, QuotedText rule, char* out) {
  for (int32_t i = 0; i < length; ++i) {
    const unsigned char byte = bytes[i];
    const bool shiftJis = rule == QuotedText::ShiftJis;
    if (shiftJis && IsLeadByte(byte) && i + 1 < length && IsTrailByte(bytes[i + 1])) {
      *out++ = static_cast<char>(byte);
      *out++ = static_cast<char>(bytes[++i]);
    } else if (IsPlainAscii(byte) || (shiftJis && IsHalfWidthKatakana(byte))) {
      *out++ = static_cast<char>(byte);
    } else {
      out = Escaped(byte, out);
    }
  }
  *out = 0;
}
