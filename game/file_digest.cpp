#include "file_digest.h"

#include "game_disk.h"

namespace {

// A region's digest reads into a buffer of its own, as long as the
// table's longest stretch.
constexpr int32_t LongestRegionStretch() noexcept {
  int32_t longest = 0;
  for (const Region& region : RegionTable) {
    const int32_t stretch = region.offset + region.length;
    if (stretch > longest) longest = stretch;
  }
  return longest;
}

// Only the bytes a read delivers are ever used, so nothing of one call
// counts in the next.
unsigned char RegionStretch[LongestRegionStretch()];

// Feeds each record of a walk into the digest. A record's length comes
// after its data, since an image may end inside a record and only the read
// tells how much there is; with a field of fixed size at every record's
// end, the digested bytes read back unambiguously from their end, so no
// two sets of records give the same bytes.
class ContentDigest {
 public:
  void StartTrack(int32_t index) { track = index; }
  void Record(const SectorHeader& header) {
    EndRecord();
    const unsigned char id[] = {
        static_cast<unsigned char>(track), static_cast<unsigned char>(header.c),
        static_cast<unsigned char>(header.h), static_cast<unsigned char>(header.r),
        static_cast<unsigned char>(header.n)};
    sha.Update(id, sizeof id);
    inRecord = true;
    dataBytes = 0;
  }
  void Data(const unsigned char* bytes, int32_t size) {
    sha.Update(bytes, size);
    dataBytes += size;
  }
  void EndRecord() {
    if (!inRecord) return;
    const unsigned char length[] = {static_cast<unsigned char>(dataBytes & 0xFF),
                                    static_cast<unsigned char>(dataBytes >> 8)};
    sha.Update(length, sizeof length);
    inRecord = false;
  }
  void Finish(unsigned char (&digest)[Sha256Size]) {
    EndRecord();
    sha.Finish(digest);
  }

 private:
  Sha256 sha;
  int32_t track = 0;
  int32_t dataBytes = 0;  // at most 65,535: a record's data-size field
  bool inRecord = false;
};

}  // namespace

bool DigestRegion(D88Image& image, const Region& region, unsigned char (&digest)[Sha256Size]) {
  const int32_t got = ReadRegionStretch(image, region, RegionStretch, sizeof RegionStretch);
  if (image.ReadFailed() || !HoldsWholeRegion(region, got)) return false;
  Sha256 sha;
  sha.Update(RegionStretch + region.offset, region.length);
  sha.Finish(digest);
  return true;
}

bool DigestDiskContent(D88Image& image, unsigned char (&digest)[Sha256Size]) {
  if (image.CurrentDisk() < 0) return false;
  ContentDigest content;
  for (int32_t track = 0; track < TrackCount; ++track) {
    content.StartTrack(track);
    if (!image.ReadTrackRecords(track, content)) return false;
    content.EndRecord();
  }
  content.Finish(digest);
  return true;
}
