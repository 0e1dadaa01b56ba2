#include "soundcut.h"

int PROGRAM_ENTRY(int argc, PathChar** argv) { return RunSoundcut(argc, argv); }
