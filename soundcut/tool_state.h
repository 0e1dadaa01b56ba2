// The state soundcut shares between its driver and its region cutter: the
// process's one image reader, the one buffer every sector read lands in,
// the folder the run writes its files into, and the report of the run.
#ifndef SOUNDCUT_TOOL_STATE_H
#define SOUNDCUT_TOOL_STATE_H

#include <cstdint>

#include "d88_image.h"
#include "output_file.h"
#include "run_report.h"

constexpr int32_t SectorBufferSize = 409600;

// Constructed before main runs; destroyed at exit, which closes the image.
extern D88Image Image;
// Zero at start. Reads overwrite only the bytes they deliver, from the start.
extern unsigned char SectorBuffer[SectorBufferSize];
// Where the files go; every run starts it afresh.
extern OutputFolder Output;
// What the last run did; every run starts it afresh.
extern RunReport Report;

#endif  // SOUNDCUT_TOOL_STATE_H
