#include "d88_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace d88test {
namespace {

constexpr int DiskHeaderSize = 0x2B0;
constexpr int SectorHeaderSize = 16;

}  // namespace

void PutLE16(Bytes& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLE32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void AppendRecord(Bytes& out, const Record& record) {
  const size_t at = out.size();
  out.resize(at + SectorHeaderSize);
  out[at + 0] = static_cast<uint8_t>(record.c);
  out[at + 1] = static_cast<uint8_t>(record.h);
  out[at + 2] = static_cast<uint8_t>(record.r);
  out[at + 3] = static_cast<uint8_t>(record.n);
  PutLE16(out, at + 4, static_cast<uint32_t>(record.count));
  out[at + 6] = static_cast<uint8_t>(record.density);
  out[at + 7] = static_cast<uint8_t>(record.deleted);
  out[at + 8] = static_cast<uint8_t>(record.status);
  const int size = record.dataSizeField >= 0 ? record.dataSizeField
                                             : static_cast<int>(record.data.size());
  PutLE16(out, at + 14, static_cast<uint32_t>(size));
  out.insert(out.end(), record.data.begin(), record.data.end());
}

Record MakeRecord(int c, int h, int r, int n, int count, Bytes data) {
  Record record;
  record.c = c;
  record.h = h;
  record.r = r;
  record.n = n;
  record.count = count;
  record.data = std::move(data);
  return record;
}

Bytes Build(const Disk& disk) {
  Bytes out(DiskHeaderSize, 0);
  for (size_t i = 0; i < disk.name.size() && i < 17; ++i) {
    out[i] = static_cast<uint8_t>(disk.name[i]);
  }
  out[0x1B] = static_cast<uint8_t>(disk.mediaType);
  for (const auto& [track, records] : disk.tracks) {
    PutLE32(out, 0x20 + 4 * track, static_cast<uint32_t>(out.size()));
    for (const Record& record : records) AppendRecord(out, record);
  }
  for (const auto& [track, entry] : disk.trackEntries) {
    PutLE32(out, 0x20 + 4 * track, static_cast<uint32_t>(entry));
  }
  const uint32_t size = disk.hasSizeField ? static_cast<uint32_t>(disk.sizeField)
                                          : static_cast<uint32_t>(out.size());
  PutLE32(out, 0x1C, size);
  return out;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes HeaderOnlyDisk(int32_t size, const std::string& name) {
  Disk disk;
  disk.name = name;
  disk.hasSizeField = true;
  disk.sizeField = size;
  return Build(disk);
}

uint8_t SampleByte(int track, int r, int index, int variant) {
  return static_cast<uint8_t>(track * 37 + r * 101 + index * 7 + (index >> 8) * 3 +
                              variant * 59);
}

Bytes SampleSector(int track, int r, int variant) {
  const int size = track == 0 ? 256 : 1024;
  Bytes data(size);
  for (int i = 0; i < size; ++i) data[i] = SampleByte(track, r, i, variant);
  if (track == 0 && r == 1) {
    for (int i = 0; i < 16; ++i) data[1 + i] = static_cast<uint8_t>(BootName[i]);
  }
  return data;
}

Disk GameDiskA(const std::string& name, int variant) {
  Disk disk;
  disk.name = name;
  for (int r = 1; r <= 16; ++r) {
    disk.tracks[0].push_back(MakeRecord(0, 0, r, 1, 16, SampleSector(0, r, variant)));
  }
  for (int track = 1; track <= 79; ++track) {
    for (int r = 1; r <= 5; ++r) {
      disk.tracks[track].push_back(
          MakeRecord(track / 2, track % 2, r, 3, 5, SampleSector(track, r, variant)));
    }
  }
  return disk;
}

Bytes SampleRun(int track, int r, int sectors, int variant) {
  Bytes out;
  for (int i = 0; i < sectors; ++i) {
    const Bytes sector = SampleSector(track, r, variant);
    out.insert(out.end(), sector.begin(), sector.end());
    if (r == 5) {
      ++track;
      r = 1;
    } else {
      ++r;
    }
  }
  return out;
}

Disk OrdinaryDisk(const std::string& bootName, int tracks) {
  Disk disk;
  disk.name = "DATA";
  for (int track = 0; track < tracks; ++track) {
    for (int r = 1; r <= 16; ++r) {
      Bytes data(256, static_cast<uint8_t>(track + r));
      if (track == 0 && r == 1) {
        for (size_t i = 0; i < bootName.size() && i < 16; ++i) {
          data[1 + i] = static_cast<uint8_t>(bootName[i]);
        }
      }
      disk.tracks[track].push_back(
          MakeRecord(track / 2, track % 2, r, 1, 16, std::move(data)));
    }
  }
  return disk;
}

// One to three disks, each the game's disk A (of one of three contents)
// or an ordinary one, with a random name; a game disk may lack a sector
// of a region, hold it short or with another size code; the image may end
// early.
Bytes RandomImage(unsigned seed) {
  std::mt19937 random(seed);
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<Bytes> disks;
  const int diskCount = 1 + below(3);
  for (int d = 0; d < diskCount; ++d) {
    std::string name;
    for (int i = below(18); i > 0; --i) name += static_cast<char>(1 + below(255));
    Disk disk = below(4) == 0 ? OrdinaryDisk("Other X1 System ", 12)
                              : GameDiskA(name, below(3));
    disk.name = name;
    if (below(2) == 0) {
      std::vector<Record>& track = disk.tracks[7 + below(4)];
      const int at = below(static_cast<int>(track.size()));
      switch (below(3)) {
        case 0: track.erase(track.begin() + at); break;
        case 1: track[static_cast<size_t>(at)].data.resize(static_cast<size_t>(below(1024))); break;
        default: track[static_cast<size_t>(at)].n = 2; break;
      }
    }
    disks.push_back(Build(disk));
  }
  Bytes image = Concat(disks);
  if (below(5) == 0) image.resize(static_cast<size_t>(below(static_cast<int>(image.size()))));
  return image;
}

// Paths are UTF-8, so that tests can name files in any script on Windows
// too, where narrow paths would go through the system's code page.
Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace d88test
