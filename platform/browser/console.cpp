// Console text in the browser. Every standard stream of a WebAssembly
// module claims to be a terminal, and its C library has no Shift-JIS
// converter: the page reads the streams as bytes and decodes them itself,
// so nothing is shown "for a person" here.
#include "console.h"
#include "console_writer.h"

bool IsForAPerson(FILE*) { return false; }

bool WriteForAPerson(FILE*, const char*, int) { return false; }

// The page decodes the bytes as Shift-JIS.
bool OutputMayObeyC1Controls() { return false; }

// There are no pipes to close.
void KeepRunningWhenOutputCloses() {}
