// Every text soundcut prints beyond the command line's (usage, open
// failure). The Japanese texts are Shift-JIS (code page
// 932) bytes, written as they are so that they read correctly on a Japanese
// Windows console; they are spelled as escapes to keep this file ASCII.
#ifndef SOUNDCUT_MESSAGES_H
#define SOUNDCUT_MESSAGES_H

#include "command_line.h"

// soundcut --help, after the usage line.
#define HELP_TEXT                                                               \
  "Finds every disk of the D88 image d88file that is disk A of Brevindor\n"    \
  "Tolvask (X1) and cuts the game's sound out of it, byte for byte, into four\n" \
  "files in the current folder: PSGDRV and OPMDRV (the sound drivers for the\n" \
  "PSG and OPM chips) and PSGMUS and OPMMUS (their music data).\n"             \
  "\n"                                                                         \
  "Options, alone on the command line (an image named like one is ./--help):\n" \
  HELP_OPTIONS                                                                 \
  "\n"                                                                         \
  "Exit codes: 0 when every region of every recognised disk was cut, or no\n"  \
  "disk was recognised; 1 after a usage error, when the image cannot be\n"     \
  "opened, is not a regular file or cannot be read, when a region cannot be\n" \
  "read or written, or when standard output cannot be written.\n"

// Brevindor Tolvask (X1) Disk Aを認識しました. (disk A of the game recognised)
#define RECOGNISED_MESSAGE       \
  "Brevindor Tolvask (X1) Disk A" \
  "\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n"

// "cutting ... <file>" on standard output, once a region's sectors were read.
#define CUTTING_MESSAGE "cutting ... %s\n"

// <file>: セクタを読み込めません. (the region's sectors cannot be read)
#define CANNOT_READ_SECTORS_MESSAGE                                         \
  "%s: \x83\x5A\x83\x4E\x83\x5E\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF" \
  "\x82\xDC\x82\xB9\x82\xF1.\n"

// <file>: ファイルを書き込めません. (the file cannot be written)
#define CANNOT_WRITE_FILE_MESSAGE                                           \
  "%s: \x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8F\x91\x82\xAB\x8D\x9E" \
  "\x82\xDF\x82\xDC\x82\xB9\x82\xF1.\n"

// Shown only when soundcut runs on a console window of its own (an image
// dropped on it in Explorer), which closes when the program ends:

// Brevindor Tolvask (X1) Disk Aが見つかりませんでした. (disk A not found)
#define NOT_FOUND_MESSAGE          \
  "Brevindor Tolvask (X1) Disk A" \
  "\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD.\n"

#endif  // SOUNDCUT_MESSAGES_H
