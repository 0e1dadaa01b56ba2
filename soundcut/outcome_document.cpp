#include "outcome_document.h"

#include <cinttypes>

#include "game_disk.h"
#include "image_outcome.h"
#include "sha256.h"

namespace {

const char* WhyName(const RegionReport* region) {
  if (region == nullptr) return "not_reached";
  switch (region->outcome) {
    case RegionOutcome::SectorsMissing:
      return "sectors_missing";
    case RegionOutcome::ReadFailed:
      return "read_failed";
    case RegionOutcome::Cut:  // never a failure
    case RegionOutcome::NotWritten:
      break;
  }
  return "not_written";
}

// Every sector a region of the table needs fits the report's list, so the
// list is whole.
constexpr bool EveryMissingSectorListed() {
  for (const Region& region : RegionTable) {
    // cppcheck-suppress useStlAlgorithm ; std::any_of is no constexpr before C++20
    if (region.offset + region.length > MaxMissingListed * (128 << region.n)) return false;
  }
  return true;
}
static_assert(EveryMissingSectorListed(), "a region needs more sectors than a report lists");

void WriteMissingSectors(const RegionReport& region, FILE* out) {
  const int32_t listed = region.missingCount < MaxMissingListed ? region.missingCount : MaxMissingListed;
  std::fputs(",\"sectors\":[", out);
  for (int32_t i = 0; i < listed; ++i) {
    const MissingSector& sector = region.missing[i];
    std::fprintf(out,
                 "%s{\"track\":%" PRId32 ",\"c\":%" PRId32 ",\"h\":%" PRId32 ",\"r\":%" PRId32
                 ",\"n\":%" PRId32 ",\"state\":\"%s\"}",
                 i == 0 ? "" : ",", sector.track, sector.c, sector.h, sector.r, sector.n,
                 SectorStateName(sector.state));
  }
  std::fputs("]", out);
}

void WriteFile(const FileOutcome& file, FILE* out) {
  std::fprintf(out, "{\"file\":\"%s\",\"from\":", file.file);
  if (file.fromDisk < 0) {
    std::fputs("null", out);
  } else {
    std::fprintf(out, "%" PRId32, file.fromDisk);
  }
  std::fprintf(out, ",\"bytes\":%" PRId32 ",\"sha256\":", file.bytes);
  if (file.sha256 == nullptr) {
    std::fputs("null", out);
  } else {
    char hex[Sha256HexSize];
    WriteSha256Hex(*file.sha256, hex);
    std::fprintf(out, "\"%s\"", hex);
  }
  std::fputs(",\"failures\":[", out);
  for (int32_t i = 0; i < file.failureCount; ++i) {
    const FileFailure& failure = file.failures[i];
    std::fprintf(out, "%s{\"disk\":%" PRId32 ",\"why\":\"%s\"", i == 0 ? "" : ",", failure.disk,
                 WhyName(failure.region));
    if (failure.region != nullptr && failure.region->outcome == RegionOutcome::SectorsMissing) {
      WriteMissingSectors(*failure.region, out);
    }
    std::fputs("}", out);
  }
  std::fputs("]}", out);
}

// Static: some 20 KB, and the module's stack is small.
ImageOutcome Outcome;

}  // namespace

void WriteOutcomeDocument(const RunReport& report, FILE* out) {
  DecideImageOutcome(report, Outcome);
  std::fprintf(out,
               "{\"outcome_format_version\":[%" PRId32 ",%" PRId32 "],\"verdict\":\"%s\",\"exit_status\":%d"
               ",\"read_failed\":%s,\"recognised\":[",
               OutcomeFormatMajor, OutcomeFormatMinor, VerdictName(Outcome.verdict), report.exitStatus,
               report.readFailed ? "true" : "false");
  for (int32_t d = 0; d < report.diskCount; ++d) {
    std::fprintf(out, "%s%" PRId32, d == 0 ? "" : ",", report.disks[d].index);
  }
  std::fputs("],\"files\":[", out);
  for (int32_t i = 0; i < RegionCount; ++i) {
    if (i > 0) std::fputs(",", out);
    WriteFile(Outcome.files[i], out);
  }
  std::fputs("]}\n", out);
}
