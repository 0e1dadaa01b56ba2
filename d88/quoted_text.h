// Bytes of an untrusted image written inside "..." on a terminal: nothing
// in them can move the cursor, retitle or clear the terminal, or end the
// quotes early, and what is printed reads back to the bytes unambiguously.
#ifndef D88_QUOTED_TEXT_H
#define D88_QUOTED_TEXT_H

#include <cstdint>

enum class QuotedText {
  // A disk name for a reader of Shift-JIS (a pipe, a file, a converting
  // terminal or console): printable ASCII, half-width katakana and every
  // pair of lead and trail byte that is a character of code page 932 stay
  // as they are, whatever the trail is; a pair that is no character is
  // written as two escapes.
  ShiftJis,
  // A disk name for a terminal that may obey bytes 0x80 to 0x9F as 8-bit
  // controls (CSI, DCS, OSC, ...): as ShiftJis, but a character holding
  // such a byte is written as two escapes.
  ShiftJisWithoutC1,
  // The boot name: only printable ASCII stays, since the line shows the
  // exact bytes recognition compares.
  Ascii,
};

// Capacity `out` needs for `length` bytes: each may become \xHH.
constexpr int32_t QuotedCapacity(int32_t length) { return 4 * length + 1; }

// Writes `bytes` to `out` (QuotedCapacity(length) characters, terminated):
// every byte the rule does not keep, and every '"' and '\\', becomes \xHH.
void Quote(const unsigned char* bytes, int32_t length, QuotedText rule, char* out);

// Whether code page 932 maps the pair `lead` `trail` to a character. The
// one place that says so: a converter to Unicode is only ever given pairs
// this accepts.
bool IsShiftJisCharacter(unsigned char lead, unsigned char trail);

#endif  // D88_QUOTED_TEXT_H
