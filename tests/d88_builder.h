// Builds D88 images in memory for the tests: disks from tracks of sector
// records with any field values (damaged ones included), chains of disks,
// and the layout of the game's disk A with invented contents.
#ifndef TESTS_D88_BUILDER_H
#define TESTS_D88_BUILDER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace d88test {

using Bytes = std::vector<uint8_t>;

struct Record {
  int c = 0, h = 0, r = 0, n = 0;
  int count = 0;        // sector count stored in this record's header
  Bytes data;
  int dataSizeField = -1;  // the header's data-size field; -1: data.size()
  int density = 0, deleted = 0, status = 0;  // header bytes 6, 7 and 8
};

Record MakeRecord(int c, int h, int r, int n, int count, Bytes data);

struct Disk {
  std::string name;  // raw header bytes 0x00..0x10, cut at 17
  int mediaType = 0;
  std::map<int, std::vector<Record>> tracks;  // laid out in index order
  // Values to store instead of the real ones (damaged or hand-made images).
  bool hasSizeField = false;
  int32_t sizeField = 0;
  std::map<int, int32_t> trackEntries;
};

Bytes Build(const Disk& disk);
// Appends one sector record (header and data) to raw image bytes.
void AppendRecord(Bytes& out, const Record& record);
void PutLE16(Bytes& out, size_t at, uint32_t value);
void PutLE32(Bytes& out, size_t at, uint32_t value);
Bytes Concat(const std::vector<Bytes>& parts);
// A disk whose header stores `size` and that holds nothing else.
Bytes HeaderOnlyDisk(int32_t size, const std::string& name = "");

// The game's disk A: track 0 holds sixteen 256-byte sectors with the boot
// sector at C0 H0 R1 N1; tracks 1-79 hold five 1024-byte sectors R1-R5 with
// N = 3, C = track / 2, H = track % 2. Every data byte is SampleByte();
// disks of different `variant` hold different bytes.
constexpr char BootName[] = "Brevindor X1 Sys";
Disk GameDiskA(const std::string& name = "SAMPLE", int variant = 0);
uint8_t SampleByte(int track, int r, int index, int variant = 0);
// The sector data a well-formed GameDiskA holds for (track, r).
Bytes SampleSector(int track, int r, int variant = 0);
// `sectors` consecutive sectors of GameDiskA from (track, r), stepping
// R1-R5 per track.
Bytes SampleRun(int track, int r, int sectors, int variant = 0);
// An ordinary disk: 16 sectors of 256 bytes on each of `tracks` tracks,
// with `bootName` at bytes 1-16 of its boot sector.
Disk OrdinaryDisk(const std::string& bootName, int tracks = 80);

// Image number `seed` of a family of damaged and mixed images (the page's
// tests and the suite's differential runs use the first few hundred): one
// to three disks, each the game's disk A or an ordinary one, some lacking a
// sector, holding it short or with another size code; some cut short.
Bytes RandomImage(unsigned seed);

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

}  // namespace d88test

#endif  // TESTS_D88_BUILDER_H
