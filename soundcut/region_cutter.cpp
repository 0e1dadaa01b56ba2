#include "region_cutter.h"

#include "console.h"
#include "game_disk.h"
#include "messages.h"
#include "tool_state.h"

namespace {

// The report's entry for this region, on the disk being cut; none when no
// disk was started (a cut driven on its own).
RegionReport* StartRegionReport(const char* name) {
  if (Report.diskCount == 0) return nullptr;
  DiskReport& disk = Report.disks[Report.diskCount - 1];
  if (disk.regionCount == RegionCount) return nullptr;
  RegionReport& region = disk.regions[disk.regionCount++];
  region = RegionReport{};
  region.file = name;
  return &region;
}

// Lists every sector of the run that the reader does not find whole: the
// ones a read of them would not get.
void ListMissingSectors(RegionReport& region, int32_t track, int32_t c, int32_t h, int32_t r,
                        int32_t n, int32_t totalBytes) {
  RunSector sectors[MaxRunSectors];
  const int32_t count = SectorsOfRun(Image, track, c, h, r, n, totalBytes, sectors);
  for (int32_t i = 0; i < count; ++i) {
    const RunSector& sector = sectors[i];
    const D88Image::SectorState state =
        Image.LookUpSector(sector.track, sector.c, sector.h, sector.r, sector.n, sector.bytes);
    if (state == D88Image::SectorState::Whole) continue;
    if (region.missingCount < MaxMissingListed) {
      region.missing[region.missingCount] = {sector.track, sector.c, sector.h, sector.r, sector.n, state};
    }
    ++region.missingCount;
  }
}

void Record(RegionReport* region, RegionOutcome outcome) {
  if (region != nullptr) region->outcome = outcome;
}

}  // namespace

bool CutRegion(const char* name, int32_t track, int32_t c, int32_t h, int32_t r,
               int32_t n, int32_t offset, int32_t length) {
  RegionReport* region = StartRegionReport(name);
  Record(region, RegionOutcome::NotWritten);
  // Whatever the table says, the stretch must fit SectorBuffer.
  if (offset < 0 || length < 0 || length > SectorBufferSize - offset) return false;
  const int32_t wanted = offset + length;

  const int32_t got = Image.ReadSectors(track, c, h, r, n, SectorBuffer, wanted);
  // The image itself could not be read: the driver says so once, for the
  // whole run, and cuts nothing more.
  if (Image.ReadFailed()) {
    Record(region, RegionOutcome::ReadFailed);
    return false;
  }
  if (got > 0) PrintOut(CUTTING_MESSAGE, name);
  if (got < wanted) {
    // Writing anyway would fill the rest of the file with whatever earlier
    // reads left in the buffer.
    PrintError(CANNOT_READ_SECTORS_MESSAGE, name);
    Record(region, RegionOutcome::SectorsMissing);
    if (region != nullptr) ListMissingSectors(*region, track, c, h, r, n, wanted);
    return false;
  }
  if (wanted == 0) return false;  // nothing was read, so nothing to cut
  if (!Output.WriteFileReplacing(name, SectorBuffer + offset, length)) {
    PrintError(CANNOT_WRITE_FILE_MESSAGE, name);
    return false;
  }
  Record(region, RegionOutcome::Cut);
  if (region != nullptr) region->bytes = length;
  return true;
}
