#include "quoted_text.h"

#include <algorithm>
#include <iterator>

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

// What a terminal of 8-bit controls obeys: CSI (0x9B), DCS (0x90), OSC
// (0x9D), ... All of them are lead bytes, and trail bytes, of Shift-JIS.
bool IsC1Control(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F; }

// The pairs code page 932 maps, as rows of lead bytes by runs of trail
// bytes (0x7F, never a trail byte, lies inside some runs). Rows 0x85, 0x86,
// 0xEB, 0xEC and 0xEF, and the gaps between runs, hold no character.
struct CharacterRun {
  unsigned char firstLead, lastLead, firstTrail, lastTrail;
};
constexpr CharacterRun CharacterRuns[] = {
    {0x81, 0x81, 0x40, 0xAC}, {0x81, 0x81, 0xB8, 0xBF}, {0x81, 0x81, 0xC8, 0xCE},
    {0x81, 0x81, 0xDA, 0xE8}, {0x81, 0x81, 0xF0, 0xF7}, {0x81, 0x81, 0xFC, 0xFC},
    {0x82, 0x82, 0x4F, 0x58}, {0x82, 0x82, 0x60, 0x79}, {0x82, 0x82, 0x81, 0x9A},
    {0x82, 0x82, 0x9F, 0xF1}, {0x83, 0x83, 0x40, 0x96}, {0x83, 0x83, 0x9F, 0xB6},
    {0x83, 0x83, 0xBF, 0xD6}, {0x84, 0x84, 0x40, 0x60}, {0x84, 0x84, 0x70, 0x91},
    {0x84, 0x84, 0x9F, 0xBE}, {0x87, 0x87, 0x40, 0x5D}, {0x87, 0x87, 0x5F, 0x75},
    {0x87, 0x87, 0x7E, 0x9C}, {0x88, 0x88, 0x9F, 0xFC}, {0x89, 0x97, 0x40, 0xFC},
    {0x98, 0x98, 0x40, 0x72}, {0x98, 0x98, 0x9F, 0xFC}, {0x99, 0x9F, 0x40, 0xFC},
    {0xE0, 0xE9, 0x40, 0xFC}, {0xEA, 0xEA, 0x40, 0xA4}, {0xED, 0xED, 0x40, 0xFC},
    {0xEE, 0xEE, 0x40, 0xEC}, {0xEE, 0xEE, 0xEF, 0xFC}, {0xF0, 0xFB, 0x40, 0xFC},
    {0xFC, 0xFC, 0x40, 0x4B},
};

bool KeepsPair(unsigned char lead, unsigned char trail, QuotedText rule) {
  if (rule == QuotedText::ShiftJisWithoutC1 && (IsC1Control(lead) || IsC1Control(trail))) {
    return false;
  }
  return IsShiftJisCharacter(lead, trail);
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

bool IsShiftJisCharacter(unsigned char lead, unsigned char trail) {
  if (!IsTrailByte(trail)) return false;
  const auto holds = [&](const CharacterRun& run) {
    return lead >= run.firstLead && lead <= run.lastLead && trail >= run.firstTrail &&
           trail <= run.lastTrail;
  };
  return std::any_of(std::begin(CharacterRuns), std::end(CharacterRuns), holds);
}

void Quote(const unsigned char* bytes, int32_t length, QuotedText rule, char* out) {
  const bool shiftJis = rule != QuotedText::Ascii;
  for (int32_t i = 0; i < length; ++i) {
    const unsigned char byte = bytes[i];
    if (shiftJis && IsLeadByte(byte) && i + 1 < length && IsTrailByte(bytes[i + 1])) {
      // A pair stays whole or is escaped whole, so that its trail byte
      // never reads as ASCII of its own ('\\', say).
      const unsigned char trail = bytes[++i];
      if (KeepsPair(byte, trail, rule)) {
        *out++ = static_cast<char>(byte);
        *out++ = static_cast<char>(trail);
      } else {
        out = Escaped(trail, Escaped(byte, out));
      }
    } else if (IsPlainAscii(byte) || (shiftJis && IsHalfWidthKatakana(byte))) {
      *out++ = static_cast<char>(byte);
    } else {
      out = Escaped(byte, out);
    }
  }
  *out = 0;
}
