// What every conversion stage works with: the loaded document, the run state, the working
// folder's tables, the user (for the two questions) and the lists of codes already given.
#pragma once

#include <unordered_set>
#include <string>

#include "conversion/interaction.h"
#include "conversion/run_state.h"
#include "itaca/document.h"
#include "store/database.h"

namespace tc {

struct ConversionContext {
  const itaca::Document& document;
  RunState& state;
  store::Database& db;
  Interaction& ui;

  // The case-sensitive lists of the subjects stage (hash sets: only membership is asked of
  // them); empty at the start of every run.
  std::unordered_set<std::string> UsedCodes;          // every ASIGNOMT.COD written
  std::unordered_set<std::string> UsedNames;          // subject and task names already met
  std::unordered_set<std::string> ItacaSubjectCodes;  // ITACA codes of the subject rows written
};

}  // namespace tc
