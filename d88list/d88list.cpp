#include "d88list.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "boot_sector.h"
#include "command_line.h"
#include "console.h"
#include "d88_image.h"
#include "image_document.h"
#include "launch.h"
#include "native_path.h"
#include "quoted_text.h"
#include "version.h"

namespace {

D88Image Image;

constexpr char HelpText[] =
    "Shows what the D88 image d88file holds: for every disk its name, media\n"
    "type and size, the boot name that soundcut looks for in its boot sector,\n"
    "and the sector IDs (C/H/R/N, hexadecimal) of every track in recorded order.\n"
    "With --json, one JSON document instead, with every record's header and,\n"
    "for the game's disk A, the state of every sector soundcut reads.\n"
    "\n"
    "Options, alone on the command line (an image named like one is ./--help):\n" HELP_OPTIONS
    "  --json          before d88file: write the listing as JSON\n"
    "\n"
    "Exit codes: 0 after the listing; 1 after a usage error, when the image\n"
    "cannot be opened, is not a regular file or cannot be read, or when the\n"
    "listing cannot be written.\n";

// A track lists at most 65,535 records (its count is 16 bits), 4 bytes each.
// Too large for the stack, so it has static storage.
constexpr int32_t MaxTrackIdBytes = 65535 * 4;
unsigned char TrackIds[MaxTrackIdBytes];

// Each printer returns false once standard output fails: a listing that
// cannot be written is not worth going on with.
//
// A track may hold 65,535 records: their IDs are put together into lines
// of text here and printed a chunk at a time, not one formatted call each.
bool PrintTrack(int32_t track) {
  const int32_t bytes = Image.ListSectorIds(track, TrackIds, MaxTrackIdBytes);
  if (bytes == 0) return true;
  if (!PrintOut("  track %" PRId32 ":", track)) return false;
  static const char Hex[] = "0123456789ABCDEF";
  constexpr int32_t ChunkSize = 4096;
  constexpr int32_t IdText = 12;  // " CC/HH/RR/NN"
  char chunk[ChunkSize + 1];
  int32_t used = 0;
  for (int32_t at = 0; at < bytes; at += 4) {
    chunk[used++] = ' ';
    for (int32_t i = 0; i < 4; ++i) {
      chunk[used++] = Hex[TrackIds[at + i] >> 4];
      chunk[used++] = Hex[TrackIds[at + i] & 0x0F];
      if (i < 3) chunk[used++] = '/';
    }
    if (used > ChunkSize - IdText || at + 4 >= bytes) {
      chunk[used] = 0;
      if (!PrintOut("%s", chunk)) return false;
      used = 0;
    }
  }
  return PrintOut("\n");
}

// The line that says what soundcut's recognition reads from a disk: the
// boot name as plain ASCII (every other byte as \xHH), or why there is
// none.
bool PrintBootName() {
  unsigned char sector[BootSectorReadSize];
  const int32_t got = ReadBootSector(Image, sector);
  // After a failed read, what the sector holds is not known.
  if (Image.ReadFailed()) return true;
  if (got == 0) return PrintOut("  boot: none\n");
  if (!HoldsBootName(got)) return PrintOut("  boot: too short (%" PRId32 " bytes)\n", got);
  char name[QuotedCapacity(BootNameLength)];
  Quote(sector + BootNameOffset, BootNameLength, QuotedText::Ascii, name);
  return PrintOut("  boot: \"%s\"\n", name);
}

bool PrintDisk(int32_t disk) {
  if (!Image.SelectDisk(disk)) return true;
  // The name keeps its Shift-JIS characters; what a terminal would obey,
  // and what is no character, is escaped.
  const char* stored = Image.DiskName();
  char name[QuotedCapacity(DiskHeader::NameLength)];
  const QuotedText rule =
      OutputMayObeyC1Controls() ? QuotedText::ShiftJisWithoutC1 : QuotedText::ShiftJis;
  Quote(reinterpret_cast<const unsigned char*>(stored), static_cast<int32_t>(std::strlen(stored)),
        rule, name);
  if (!PrintOut("disk %" PRId32 ": \"%s\" media 0x%02" PRIX32 " size %" PRId32 "\n", disk, name,
                static_cast<uint32_t>(Image.MediaType()), Image.DiskSize())) {
    return false;
  }
  if (!PrintBootName()) return false;
  for (int32_t track = 0; track < TrackCount; ++track) {
    if (!PrintTrack(track)) return false;
  }
  return true;
}

// The document of `--json`: written straight to standard output, whose
// failure ends the run with 1 like the listing's.
int ListAsJson(const PathChar* imagePath) {
  const ImageDocumentAbout about{"d88list", SOUNDCUT_VERSION, InUtf8(imagePath)};
  const bool readWhole = WriteImageDocument(Image, about, EveryRecord, stdout);
  if (!readWhole) PrintReadFailure();
  return FinishOutput() && readWhole ? 0 : 1;
}

bool IsJsonOption(const PathChar* argument) {
  const char* option = "--json";
  for (; *option != 0; ++argument, ++option) {
    if (*argument != static_cast<PathChar>(*option)) return false;
  }
  return *argument == 0;
}

int List(int argc, PathChar** argv) {
  int exitCode = 0;
  // --json comes first and is set aside; the rest is read as without it.
  const bool json = argc >= 2 && IsJsonOption(argv[1]);
  PathChar* rest[] = {argc >= 1 ? argv[0] : nullptr, json && argc >= 3 ? argv[2] : nullptr, nullptr};
  const int restCount = json ? argc - 1 : argc;
  if (!ReadCommandLine(Image, restCount, json ? rest : argv, {"d88list", HelpText, "[--json] "},
                       exitCode)) {
    return exitCode;
  }
  if (json) return ListAsJson(rest[1]);
  // A failed read ends the listing where it came: what follows it is not
  // known.
  for (int32_t disk = 0; disk < Image.DiskCount() && !Image.ReadFailed(); ++disk) {
    if (!PrintDisk(disk)) return 1;
  }
  if (Image.ReadFailed()) {
    PrintReadFailure();
    return 1;
  }
  return FinishOutput() ? 0 : 1;
}

}  // namespace

int RunD88List(int argc, PathChar** argv) {
  // Dropped on in Explorer, the listing would vanish with its window.
  const bool onItsOwnConsole = StartedOnItsOwnConsole(ThisProcessConsoleFacts());
  const int exitCode = List(argc, argv);
  if (onItsOwnConsole) PressEnterToClose();
  return exitCode;
}
