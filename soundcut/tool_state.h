// The state soundcut shares between its driver and its region cutter: the
// process's one image reader and the one buffer every sector read lands in.
#ifndef SOUNDCUT_TOOL_STATE_H
#define SOUNDCUT_TOOL_STATE_H

#include <cstdint>

#include "d88_image.h"

constexpr int32_t SectorBufferSize = 409600;

// Constructed before main runs; destroyed at exit, which closes the image.
extern D88Image Image;
// Zero at start. Reads overwrite only the bytes they deliver, from the start.
extern unsigned char SectorBuffer[SectorBufferSize];

#endif  // SOUNDCUT_TOOL_STATE_H
