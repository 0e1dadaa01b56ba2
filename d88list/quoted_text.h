// Bytes of an untrusted image written inside "..." on a terminal: nothing
// in them can move the cursor, retitle or clear the terminal, or end the
// quotes early, and whatever is kept reads as what it is.
#ifndef D88LIST_QUOTED_TEXT_H
#define D88LIST_QUOTED_TEXT_H

#include <cstdint>

enum class QuotedText {
  // A disk name: printable ASCII, half-width katakana and whole Shift-JIS
  // characters (lead byte and trail byte, whatever the trail is) stay as
  // they are.
  ShiftJis,
  // The boot name: only printable ASCII stays, since the line shows the
  // exact bytes recognition compares.
  Ascii,
};

// Capacity `out` needs for `length` bytes: each may become \xHH.
constexpr int32_t QuotedCapacity(int32_t length) { return 4 * length + 1; }

// Writes `bytes` to `out` (QuotedCapacity(length) characters, terminated):
// every byte the rule does not keep, and every '"' and '\\', becomes \xHH.
void Quote(const unsigned char* bytes, int32_t length, QuotedText rule, char* out);

#endif  // D88LIST_QUOTED_TEXT_H
