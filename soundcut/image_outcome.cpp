#include "image_outcome.h"

#include <algorithm>
#include <iterator>

namespace {

// The report of region `index` on a recognised disk, nullptr when the run
// did not get to it (a failed read ended the run first).
const RegionReport* RegionOf(const DiskReport& disk, int32_t index) {
  return index < disk.regionCount ? &disk.regions[index] : nullptr;
}

bool WasCut(const RegionReport* region) {
  return region != nullptr && region->outcome == RegionOutcome::Cut;
}

void DecideFile(const RunReport& report, int32_t index, FileOutcome& file) {
  file = FileOutcome{};
  file.file = RegionTable[index].fileName;
  file.fromDisk = -1;
  int32_t from = -1;  // in report.disks
  for (int32_t d = 0; d < report.diskCount; ++d) {
    if (WasCut(RegionOf(report.disks[d], index))) from = d;
  }
  if (from >= 0) {
    file.fromDisk = report.disks[from].index;
    file.bytes = report.disks[from].regions[index].bytes;
    file.sha256 = &report.disks[from].regions[index].sha256;
  }
  for (int32_t d = from + 1; d < report.diskCount; ++d) {
    file.failures[file.failureCount++] = {report.disks[d].index, RegionOf(report.disks[d], index)};
  }
}

ImageVerdict VerdictOf(const RunReport& report, const ImageOutcome& outcome) {
  if (!report.imageOpened) return ImageVerdict::NotRun;
  if (report.diskCount > 0) {
    const bool everyFileCut = std::all_of(std::begin(outcome.files), std::end(outcome.files),
                                          [](const FileOutcome& file) { return file.fromDisk >= 0; });
    return everyFileCut ? ImageVerdict::Cut : ImageVerdict::PartlyCut;
  }
  // Nothing was recognised: what the image is instead.
  if (report.readFailed) return ImageVerdict::ReadFailed;
  if (report.imageEmpty) return ImageVerdict::Empty;
  return report.firstHeaderIsD88 ? ImageVerdict::NoDiskA : ImageVerdict::NotD88Image;
}

}  // namespace

void DecideImageOutcome(const RunReport& report, ImageOutcome& outcome) {
  for (int32_t index = 0; index < RegionCount; ++index) DecideFile(report, index, outcome.files[index]);
  outcome.verdict = VerdictOf(report, outcome);
}

const char* VerdictName(ImageVerdict verdict) {
  switch (verdict) {
    case ImageVerdict::Cut:
      return "cut";
    case ImageVerdict::PartlyCut:
      return "partly_cut";
    case ImageVerdict::NoDiskA:
      return "no_disk_a";
    case ImageVerdict::NotD88Image:
      return "not_d88_image";
    case ImageVerdict::Empty:
      return "empty";
    case ImageVerdict::ReadFailed:
      return "read_failed";
    case ImageVerdict::NotRun:
      break;
  }
  return "not_run";
}
