#include "tool_state.h"

D88Image Image;
unsigned char SectorBuffer[SectorBufferSize];
OutputFolder Output;
RunReport Report;
