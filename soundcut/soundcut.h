// The soundcut driver: command line, disk recognition, messages and the
// exit code. main() is a thin wrapper so that the run can also be driven
// in-process (the fuzz target does so).
#ifndef SOUNDCUT_SOUNDCUT_H
#define SOUNDCUT_SOUNDCUT_H

#include "native_path.h"
#include "run_report.h"

// Returns the process exit code: 1 after a usage or open failure, when a
// region of a recognised disk could not be cut, or when standard output
// could not be written; 0 otherwise. Started on a console window of its own
// (an image dropped on it in Windows Explorer), it writes the files beside
// the image, says when no disk was recognised, and waits for Enter.
int RunSoundcut(int argc, PathChar** argv);

// What the last run did (see run_report.h).
const RunReport& LastSoundcutReport();

#endif  // SOUNDCUT_SOUNDCUT_H
