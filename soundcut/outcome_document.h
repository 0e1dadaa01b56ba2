// The outcome of a soundcut run as a JSON document, for the page: the
// verdict, the disks recognised, and for each file where its bytes came
// from and which later disks could not give them (image_outcome.h). Its
// fields are described in soundcut/outcome.schema.json; a change that
// removes or renames one bumps the major format version.
#ifndef SOUNDCUT_OUTCOME_DOCUMENT_H
#define SOUNDCUT_OUTCOME_DOCUMENT_H

#include <cstdint>
#include <cstdio>

#include "run_report.h"

constexpr int32_t OutcomeFormatMajor = 1;
constexpr int32_t OutcomeFormatMinor = 0;

// Writes the document of the run `report` tells of to `out`; the caller
// checks `out` for write errors.
void WriteOutcomeDocument(const RunReport& report, FILE* out);

#endif  // SOUNDCUT_OUTCOME_DOCUMENT_H
