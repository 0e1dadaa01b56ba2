#include "region_cutter.h"

#include "console.h"
#include "messages.h"
#include "output_file.h"
#include "tool_state.h"

bool CutRegion(const char* name, int32_t track, int32_t c, int32_t h, int32_t r,
               int32_t n, int32_t offset, int32_t length) {
  // Whatever the table says, the stretch must fit SectorBuffer.
  if (offset < 0 || length < 0 || length > SectorBufferSize - offset) return false;
  const int32_t wanted = offset + length;

  const int32_t got = Image.ReadSectors(track, c, h, r, n, SectorBuffer, wanted);
  // The image itself could not be read: the driver says so once, for the
  // whole run, and cuts nothing more.
  if (Image.ReadFailed()) return false;
  if (got > 0) PrintOut(CUTTING_MESSAGE, name);
  if (got < wanted) {
    // Writing anyway would fill the rest of the file with whatever earlier
    // reads left in the buffer.
    PrintError(CANNOT_READ_SECTORS_MESSAGE, name);
    return false;
  }
  if (wanted == 0) return false;  // nothing was read, so nothing to cut
  if (!WriteFileReplacing(name, SectorBuffer + offset, length)) {
    PrintError(CANNOT_WRITE_FILE_MESSAGE, name);
    return false;
  }
  return true;
}
