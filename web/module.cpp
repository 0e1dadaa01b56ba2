// The page's way into the WebAssembly module: both programs, run as they
// run on a console, on an image the page put into the module's in-memory
// file system, the report of the soundcut run, the document of the image
// that d88list --json writes (limited for the map), and the game's facts. Each call runs in the folder the
// page made for this image, and sends the standard streams to files there,
// which the page reads as bytes when the call returns.
#include <emscripten/emscripten.h>

#include <cinttypes>
#include <cstdio>

#include "d88_image.h"
#include "d88list.h"
#include "game_disk.h"
#include "image_document.h"
#include "soundcut.h"
#include "version.h"

namespace {

using Program = int (*)(int, char**);

// Standard output and error go to the files (the page's capturing devices)
// named for each run, with no error flag or unread byte left from the run
// before, and standard output in large chunks: a listing may run to
// hundreds of MB.
bool CaptureStreams(const char* outPath, const char* errPath) {
  static char outputBuffer[1 << 16];
  std::fflush(stdout);
  std::fflush(stderr);
  if (std::freopen(outPath, "wb", stdout) == nullptr || std::freopen(errPath, "wb", stderr) == nullptr) {
    return false;
  }
  return std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer) == 0;
}

int RunCaptured(Program program, const char* name, const char* image, const char* outPath,
                const char* errPath) {
  if (!CaptureStreams(outPath, errPath)) return -1;
  std::clearerr(stdout);
  std::clearerr(stderr);
  char programName[16];
  std::snprintf(programName, sizeof programName, "%s", name);
  char imageArgument[256];
  std::snprintf(imageArgument, sizeof imageArgument, "%s", image);
  char* argv[] = {programName, imageArgument, nullptr};
  const int exitCode = program(2, argv);
  std::fflush(stdout);
  std::fflush(stderr);
  return exitCode;
}

const char* OutcomeName(RegionOutcome outcome) {
  switch (outcome) {
    case RegionOutcome::Cut:
      return "cut";
    case RegionOutcome::SectorsMissing:
      return "sectors_missing";
    case RegionOutcome::NotWritten:
      break;
    case RegionOutcome::ReadFailed:
      return "read_failed";
  }
  return "not_written";
}

void WriteRegionReport(FILE* out, const RegionReport& region) {
  std::fprintf(out, "{\"file\":\"%s\",\"outcome\":\"%s\"", region.file, OutcomeName(region.outcome));
  if (region.outcome == RegionOutcome::Cut) std::fprintf(out, ",\"bytes\":%" PRId32, region.bytes);
  if (region.outcome == RegionOutcome::SectorsMissing) {
    std::fputs(",\"missing\":[", out);
    const int32_t unlisted = region.missingCount - MaxMissingListed;
    const int32_t listed = unlisted > 0 ? MaxMissingListed : region.missingCount;
    for (int32_t i = 0; i < listed; ++i) {
      const MissingSector& sector = region.missing[i];
      std::fprintf(out,
                   "%s{\"track\":%" PRId32 ",\"c\":%" PRId32 ",\"h\":%" PRId32 ",\"r\":%" PRId32
                   ",\"n\":%" PRId32 "}",
                   i == 0 ? "" : ",", sector.track, sector.c, sector.h, sector.r, sector.n);
    }
    std::fputs("]", out);
    // Never for the game's regions, which all fit the listing.
    if (unlisted > 0) std::fprintf(out, ",\"more_missing\":%" PRId32, unlisted);
  }
  std::fputs("}", out);
}

// The report of the last soundcut run, as JSON (see run_report.h).
void WriteReport(FILE* out, const RunReport& report) {
  std::fprintf(out, "{\"exit_status\":%d,\"image_opened\":%s,\"read_failed\":%s,\"disks\":[",
               report.exitStatus, report.imageOpened ? "true" : "false", report.readFailed ? "true" : "false");
  for (int32_t d = 0; d < report.diskCount; ++d) {
    const DiskReport& disk = report.disks[d];
    std::fprintf(out, "%s{\"index\":%" PRId32 ",\"regions\":[", d == 0 ? "" : ",", disk.index);
    for (int32_t i = 0; i < disk.regionCount; ++i) {
      if (i > 0) std::fputs(",", out);
      WriteRegionReport(out, disk.regions[i]);
    }
    std::fputs("]}", out);
  }
  std::fputs("]}\n", out);
}

// The reader of WriteImageJsonOf: opened and closed by each call. Some
// 17 KB, too much for the module's small stack.
D88Image MapImage;

// The game's facts, as JSON, for the page to take its file names, marks
// and region order from.
void WriteFacts(FILE* out) {
  std::fputs("{\"boot_name\":", out);
  WriteJsonString(out, GameBootName);
  std::fprintf(out, ",\"sector_range\":[%" PRId32 ",%" PRId32 "],\"regions\":[", GameFirstSector,
               GameLastSector);
  for (int32_t i = 0; i < RegionCount; ++i) {
    const Region& region = RegionTable[i];
    std::fprintf(out,
                 "%s{\"file\":\"%s\",\"mark\":\"%s\",\"track\":%" PRId32 ",\"c\":%" PRId32
                 ",\"h\":%" PRId32 ",\"r\":%" PRId32 ",\"n\":%" PRId32 ",\"offset\":%" PRId32
                 ",\"length\":%" PRId32 "}",
                 i == 0 ? "" : ",", region.fileName, region.mark, region.track, region.c, region.h,
                 region.r, region.n, region.offset, region.length);
  }
  std::fprintf(out, "],\"boot_mark\":\"%s\"}\n", BootMark);
}

// Closes a file written by one of the calls below; 0 when it was written
// whole.
int Closed(FILE* out) {
  const bool written = std::ferror(out) == 0;
  return std::fclose(out) == 0 && written ? 0 : 1;
}

}  // namespace

extern "C" {

// Writes the report of the last RunSoundcutOn to `path` as JSON; 0 when
// it was written.
EMSCRIPTEN_KEEPALIVE int WriteSoundcutReport(const char* path) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  WriteReport(out, LastSoundcutReport());
  return Closed(out);
}

// Writes the document d88list --json writes for `image` to `path`; with
// cellBudget >= 0, each track's records limited as the map shows them. 0
// when it was written (a failed read of the image is in the document);
// 1 when the image cannot be opened or the file cannot be written.
EMSCRIPTEN_KEEPALIVE int WriteImageJsonOf(const char* image, const char* path, int32_t cellBudget) {
  if (!MapImage.Open(image)) return 1;
  FILE* out = std::fopen(path, "wb");
  if (out != nullptr) WriteImageDocument(MapImage, {"d88list", SOUNDCUT_VERSION, image}, cellBudget, out);
  MapImage.Open(nullptr);
  return out == nullptr ? 1 : Closed(out);
}

// Writes the game's facts (game_disk.h, region_table.h) to `path`.
EMSCRIPTEN_KEEPALIVE int WriteGameFacts(const char* path) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  WriteFacts(out);
  return Closed(out);
}

EMSCRIPTEN_KEEPALIVE int RunSoundcutOn(const char* image, const char* outPath, const char* errPath) {
  return RunCaptured(RunSoundcut, "soundcut", image, outPath, errPath);
}

EMSCRIPTEN_KEEPALIVE int RunD88ListOn(const char* image, const char* outPath, const char* errPath) {
  return RunCaptured(RunD88List, "d88list", image, outPath, errPath);
}

}  // extern "C"
