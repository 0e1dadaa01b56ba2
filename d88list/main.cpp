#include "d88list.h"

int PROGRAM_ENTRY(int argc, PathChar** argv) { return RunD88List(argc, argv); }
