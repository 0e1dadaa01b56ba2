#include "region_cutter.h"

#include "console.h"
#include "game_disk.h"
#include "messages.h"
#include "sha256.h"
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

// Lists every sector of the region's run that the reader does not find
// whole: the ones a read of them would not get.
void ListMissingSectors(RegionReport& report, const Region& region) {
  RunSector sectors[MaxRunSectors];
  const int32_t count = SectorsOfRegion(Image, region, sectors);
  for (int32_t i = 0; i < count; ++i) {
    const RunSector& sector = sectors[i];
    const D88Image::SectorState state =
        Image.LookUpSector(sector.track, sector.c, sector.h, sector.r, sector.n, sector.bytes);
    if (state == D88Image::SectorState::Whole) continue;
    if (report.missingCount < MaxMissingListed) {
      report.missing[report.missingCount] = {sector.track, sector.c, sector.h, sector.r, sector.n, state};
    }
    ++report.missingCount;
  }
}

void Record(RegionReport* region, RegionOutcome outcome) {
  if (region != nullptr) region->outcome = outcome;
}

}  // namespace

bool CutRegion(const Region& region) {
  RegionReport* report = StartRegionReport(region.fileName);
  Record(report, RegionOutcome::NotWritten);
  const int32_t got = ReadRegionStretch(Image, region, SectorBuffer, SectorBufferSize);
  if (got < 0) return false;  // a stretch SectorBuffer cannot hold
  // The image itself could not be read: the driver says so once, for the
  // whole run, and cuts nothing more.
  if (Image.ReadFailed()) {
    Record(report, RegionOutcome::ReadFailed);
    return false;
  }
  if (got > 0) PrintOut(CUTTING_MESSAGE, region.fileName);
  const int32_t wanted = region.offset + region.length;
  if (got < wanted) {
    // Writing anyway would fill the rest of the file with whatever earlier
    // reads left in the buffer.
    PrintError(CANNOT_READ_SECTORS_MESSAGE, region.fileName);
    Record(report, RegionOutcome::SectorsMissing);
    if (report != nullptr) ListMissingSectors(*report, region);
    return false;
  }
  if (!HoldsWholeRegion(region, got)) return false;  // nothing was read, so nothing to cut
  if (!Output.WriteFileReplacing(region.fileName, SectorBuffer + region.offset, region.length)) {
    PrintError(CANNOT_WRITE_FILE_MESSAGE, region.fileName);
    return false;
  }
  Record(report, RegionOutcome::Cut);
  if (report != nullptr) {
    report->bytes = region.length;
    // Of exactly the bytes written, so that it names the file.
    Sha256 digest;
    digest.Update(SectorBuffer + region.offset, region.length);
    digest.Finish(report->sha256);
  }
  return true;
}
