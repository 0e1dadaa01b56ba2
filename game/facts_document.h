// The game's facts as a JSON document, for the page to take its file
// names, marks and region order from rather than keep them itself: the boot
// name, the sector range, the region table and the boot sector's mark.
// Its fields are described in game/facts.schema.json.
#ifndef GAME_FACTS_DOCUMENT_H
#define GAME_FACTS_DOCUMENT_H

#include <cstdio>

// Writes the document to `out`; the caller checks `out` for write errors.
void WriteFactsDocument(FILE* out);

#endif  // GAME_FACTS_DOCUMENT_H
