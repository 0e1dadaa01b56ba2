// The JSON document of an image: every disk as the reader sees it (name,
// media type, write protection, size, whether its header is a D88 disk
// header, boot sector, every record of every track) and, for the game's
// disk A, the state of every sector each region needs, from the reader's
// one lookup. d88list --json writes it, and the
// page's module writes the same document for its map, with its records
// limited so that its size stays bounded.
//
// It is written as it goes, a track at a time, so memory stays bounded
// for any image. Its fields are documented in d88list/d88list.schema.json;
// a change that removes or renames one bumps the major format version.
#ifndef GAME_IMAGE_DOCUMENT_H
#define GAME_IMAGE_DOCUMENT_H

#include <cstdint>
#include <cstdio>

#include "d88_image.h"

constexpr int32_t JsonFormatMajor = 1;
constexpr int32_t JsonFormatMinor = 1;

struct ImageDocumentAbout {
  const char* program;  // "d88list"
  const char* version;
  const char* image;  // the image's path as given, in UTF-8 (its bytes on POSIX)
};

// No limit on the records a document shows.
constexpr int32_t EveryRecord = -1;

// Writes the document of the image open in `image` to `out`. With
// `cellBudget` >= 0, each track shows its first 48 records and the whole
// document at most `cellBudget` such plain records; every record the boot
// sector or a region needs is shown all the same, and the rest are counted
// ("more"). Reading stops at a failed read, which the document's
// read_failed and exit_status tell, as `image.ReadFailed()` does, and the
// document states nothing the read did not establish: a disk's boot, its
// being disk A and its regions' sector states are all read before any of
// the disk is written (a disk whose read failed there is left out), and a
// read that fails among its tracks ends them, with tracks_complete false.
// A whole document also holds each disk's content digest and each whole
// region's file digest (file_digest.h); a limited one, the page's map,
// does not, as they would cost it a read of every byte of data.
// The caller checks `out` for write errors.
void WriteImageDocument(D88Image& image, const ImageDocumentAbout& about, int32_t cellBudget,
                        FILE* out);

// Writes the document of an image that could not be opened (or is not a
// regular file): it holds no disk, and its exit_status is 1.
void WriteUnopenedImageDocument(const ImageDocumentAbout& about, FILE* out);

// A JSON string of `length` bytes of UTF-8, as printable ASCII alone, so
// that it is safe on any terminal whatever its encoding: '"' and '\\'
// escaped, every other character as \uXXXX (a surrogate pair above
// U+FFFF), and a byte that is not part of well-formed UTF-8 as \uFFFD.
void WriteJsonString(FILE* out, const char* text, int32_t length);
void WriteJsonString(FILE* out, const char* text);

#endif  // GAME_IMAGE_DOCUMENT_H
