// d88list: shows what a D88 image holds, disk by disk and track by track, so
// that a user can see why soundcut does or does not recognise a disk.
// main() is a thin wrapper, so that a run can also be driven in-process.
#ifndef D88LIST_D88LIST_H
#define D88LIST_D88LIST_H

#include "native_path.h"

// Returns the process exit code: 0 after the listing; 1 after a usage or
// open failure, or when the listing could not be written. Started on a
// console window of its own (an image dropped on it in Windows Explorer),
// it waits for Enter before it ends.
int RunD88List(int argc, PathChar** argv);

#endif  // D88LIST_D88LIST_H
