// SHA-256 digests that name what a disk gives: each region's file, byte
// for byte as soundcut writes it, and the disk's contents regardless of
// its header, so that copies of one disk under other names, media types
// or write protection are known as the same disk.
#ifndef GAME_FILE_DIGEST_H
#define GAME_FILE_DIGEST_H

#include "d88_image.h"
#include "region_table.h"
#include "sha256.h"

// The digest of the file soundcut writes for `region` from the selected
// disk (read as the cut reads it, with the game's sector range). False,
// with no digest, when the region's sectors are not all there, when the
// region is longer than any of the table's, and after a failed read.
bool DigestRegion(D88Image& image, const Region& region, unsigned char (&digest)[Sha256Size]);

// The digest of the selected disk's records, its header left out: for each
// track in index order, each record in recorded order (as a listing walks
// it) as its track index (one byte), its ID C, H, R, N (four bytes), its
// data as the image holds it, then the length of that data (two bytes,
// little-endian). False, with no digest, when no disk is selected and
// after a failed read.
bool DigestDiskContent(D88Image& image, unsigned char (&digest)[Sha256Size]);

#endif  // GAME_FILE_DIGEST_H
