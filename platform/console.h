// Text on the standard streams.
//
// Every text is written in Shift-JIS (code page 932), the program's own
// encoding. Where a program reads a stream (a file, a pipe) it gets exactly
// those bytes. Where a person reads it, the text is shown as itself: a
// Windows console gets it as Unicode (WriteConsoleW), whatever its code
// page, and a POSIX terminal whose locale uses UTF-8 gets it as UTF-8.
//
// Standard output stays buffered, so a long listing stays fast; anything
// sent to standard error first flushes it, so that the two merged into one
// file or pipe read in the order things happened. A failed write to standard
// output (a full disk, a closed stream) is remembered, so that the program
// can end with an error.
#ifndef PLATFORM_CONSOLE_H
#define PLATFORM_CONSOLE_H

#if defined(__GNUC__) || defined(__clang__)
#define PRINTF_LIKE __attribute__((format(printf, 1, 2)))
#else
#define PRINTF_LIKE
#endif

// printf to standard output. False once any write to it has failed.
bool PrintOut(const char* format, ...) PRINTF_LIKE;
// printf to standard error, after flushing standard output.
void PrintError(const char* format, ...) PRINTF_LIKE;
// Flushes standard output. True when everything written to it arrived.
bool FinishOutput();

// Whether standard output is a terminal that may obey bytes 0x80 to 0x9F
// as 8-bit controls (CSI, OSC, ...): one on which text is not converted as
// above. Text taken from an image must escape those bytes there.
bool OutputMayObeyC1Controls();

// A reader that closes its end of a pipe early (head, a pager, grep -q)
// ends a POSIX process at its next write; after this call such a write
// just fails, like any other failed write, and the program goes on.
void KeepRunningWhenOutputCloses();

#endif  // PLATFORM_CONSOLE_H
