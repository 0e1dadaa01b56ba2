// write_outcome IMAGE OUTCOME FACTS: runs soundcut on IMAGE in the current
// folder, in-process as the page's module does, and writes the documents
// the module writes after it: the run's outcome and the game's facts.
#include <cstdio>

#include "facts_document.h"
#include "outcome_document.h"
#include "soundcut.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  char program[] = "soundcut";
  char* soundcutArgs[] = {program, argv[1], nullptr};
  RunSoundcut(2, soundcutArgs);
  FILE* outcome = std::fopen(argv[2], "wb");
  FILE* facts = std::fopen(argv[3], "wb");
  if (outcome == nullptr || facts == nullptr) return 2;
  WriteOutcomeDocument(LastSoundcutReport(), outcome);
  WriteFactsDocument(facts);
  return std::fclose(outcome) == 0 && std::fclose(facts) == 0 ? 0 : 2;
}
