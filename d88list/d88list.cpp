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
    "Shows what each D88 image d88file holds: for every disk its name, media\n"
    "type and size, whether its header is one a D88 writer writes, the boot\n"
    "name that soundcut looks for in its boot sector, and the sector IDs\n"
    "(C/H/R/N, hexadecimal) of every track in recorded order.\n"
    "With --json, one JSON document instead, with every record's header and,\n"
    "for the game's disk A, the state of every sector soundcut reads.\n"
    "Several images are listed in turn, each after a line \"==> d88file <==\"\n"
    "(with --json, each document on one line of its own).\n"
    "\n"
    "Options, alone on the command line (an image named like one is ./--help):\n" HELP_OPTIONS
    "  --json          before d88file: write the listing as JSON\n"
    "\n"
    "Exit codes: 0 after the listing; 1 after a usage error, when an image\n"
    "cannot be opened, is not a regular file or cannot be read (the next one\n"
    "is listed all the same), or when the listing cannot be written.\n";

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

// The line that says whether the disk's header is a D88 disk header, or
// the first field of it that no D88 writer writes, with its value where
// it has one.
bool PrintHeaderJudgement() {
  switch (Image.Judgement()) {
    case HeaderJudgement::D88:
      break;
    case HeaderJudgement::WriteProtect:
      return PrintOut("  header: not D88 (write protect 0x%02" PRIX32 ")\n",
                      static_cast<uint32_t>(Image.WriteProtect()));
    case HeaderJudgement::MediaType:
      return PrintOut("  header: not D88 (media type 0x%02" PRIX32 ")\n",
                      static_cast<uint32_t>(Image.MediaType()));
    case HeaderJudgement::DiskSize:
      return PrintOut("  header: not D88 (size %" PRId32 ")\n", Image.DiskSize());
    case HeaderJudgement::TrackOffset:
      return PrintOut("  header: not D88 (track offset)\n");
  }
  return PrintOut("  header: D88\n");
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
  if (!PrintHeaderJudgement() || !PrintBootName()) return false;
  for (int32_t track = 0; track < TrackCount; ++track) {
    if (!PrintTrack(track)) return false;
  }
  return true;
}

ImageDocumentAbout AboutImage(const PathChar* imagePath) {
  return {"d88list", SOUNDCUT_VERSION, InUtf8(imagePath)};
}

// Writes the listing of the open image, as text or as its JSON document
// (whose writes FinishOutput checks). False once standard output failed.
// A failed read ends the listing where it came: what follows it is not
// known.
bool WriteListing(const PathChar* imagePath, bool json) {
  if (json) {
    WriteImageDocument(Image, AboutImage(imagePath), EveryRecord, stdout);
    return true;
  }
  for (int32_t disk = 0; disk < Image.DiskCount() && !Image.ReadFailed(); ++disk) {
    if (!PrintDisk(disk)) return false;
  }
  return true;
}

bool IsJsonOption(const PathChar* argument) {
  const char* option = "--json";
  for (; *option != 0; ++argument, ++option) {
    if (*argument != static_cast<PathChar>(*option)) return false;
  }
  return *argument == 0;
}

const ProgramAbout About{"d88list", HelpText, "[--json] ", "d88file..."};

// Several images: each listing under a header line as head(1) writes
// them, each JSON document on a line of its own, one for every image
// given, so that the lines pair with the images. An image that cannot be
// opened or read is named in its message (when `named`) and the next one
// follows; the reader's state is opened afresh for each. Output that
// cannot be written ends it all.
int ListEach(int count, PathChar** images, bool json, bool named) {
  int exitCode = 0;
  bool first = true;
  for (int i = 0; i < count; ++i) {
    const char* name = named ? NameForMessage(images[i]) : nullptr;
    if (!OpenImageFile(Image, images[i])) {
      PrintOpenFailure(name);
      exitCode = 1;
      if (json) {
        WriteUnopenedImageDocument(AboutImage(images[i]), stdout);
        if (!FinishOutput()) return 1;
      }
      continue;
    }
    if (!json && !PrintOut("%s==> %s <==\n", first ? "" : "\n", NameForMessage(images[i]))) {
      return 1;
    }
    first = false;
    if (!WriteListing(images[i], json)) return 1;
    if (Image.ReadFailed()) {
      PrintReadFailure(name);
      exitCode = 1;
    }
    if (!FinishOutput()) return 1;
  }
  return exitCode;
}

bool IsAnyOption(int count, PathChar** arguments) {
  for (int i = 0; i < count; ++i) {
    if (IsCommandLineOption(arguments[i]) || IsJsonOption(arguments[i])) return true;
  }
  return false;
}

int List(int argc, PathChar** argv) {
  // --json comes first and is set aside; the rest is read as without it.
  const bool json = argc >= 2 && IsJsonOption(argv[1]);
  const int first = json ? 2 : 1;
  const int count = argc - first;
  if (count >= 2) {
    // Options are alone on the command line; among images they are an
    // error, not files to open.
    if (IsAnyOption(count, argv + first)) {
      PrintUsageError(argc, argv, About);
      return 1;
    }
    return ListEach(count, argv + first, json, true);
  }
  // A second --json is answered as a first one alone: no image given. It
  // is never an image's name (that is ./--json).
  if (json && count == 1 && IsJsonOption(argv[first])) {
    PrintUsageError(argc, argv, About);
    return 1;
  }
  // One image with --json gets its document even when it cannot be
  // opened, as among several.
  if (json && count == 1 && !IsCommandLineOption(argv[first])) {
    return ListEach(count, argv + first, json, false);
  }
  int exitCode = 0;
  PathChar* rest[] = {argc >= 1 ? argv[0] : nullptr, json && argc >= 3 ? argv[2] : nullptr, nullptr};
  const int restCount = json ? argc - 1 : argc;
  if (!ReadCommandLine(Image, restCount, json ? rest : argv, About, exitCode)) return exitCode;
  if (!WriteListing(json ? rest[1] : argv[1], json)) return 1;
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
  // Closed with the run, as soundcut's: nothing of it stays open into the
  // next run in the same process.
  Image.Open(nullptr);
  if (onItsOwnConsole) PressEnterToClose();
  return exitCode;
}
