// The soundcut driver: command line, disk recognition, messages and the
// exit code. main() is a thin wrapper so that the run can also be driven
// in-process (the fuzz target does so).
#ifndef TOOL_SOUNDCUT_H
#define TOOL_SOUNDCUT_H

// Returns the process exit code: 1 after a usage or open failure, when a
// region of a recognised disk could not be cut, or when standard output
// could not be written; 0 otherwise.
int RunSoundcut(int argc, char** argv);

#endif  // TOOL_SOUNDCUT_H
