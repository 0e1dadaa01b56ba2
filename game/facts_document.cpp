#include "facts_document.h"

#include <cinttypes>

#include "game_disk.h"
#include "image_document.h"
#include "region_table.h"

void WriteFactsDocument(FILE* out) {
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
