#include "soundcut.h"

int main(int argc, char** argv) { return RunSoundcut(argc, argv); }
