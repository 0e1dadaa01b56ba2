// POSIX arguments are bytes, passed on as they are.
#include "native_path.h"

const char* InMessageEncoding(const PathChar* text) { return text; }

const char* InUtf8(const PathChar* text) { return text; }
