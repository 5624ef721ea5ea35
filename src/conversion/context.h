// What every conversion stage works with: the loaded document, the run state, the working
// folder's tables, the user (for the two questions) and the lists of codes already given.
#pragma once

#include <set>
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

  // Sorted, case-sensitive lists of the subjects stage; empty at the start of every run.
  std::set<std::string> UsedCodes;          // every ASIGNOMT.COD written
  std::set<std::string> UsedNames;          // subject and task names already met
  std::set<std::string> ItacaSubjectCodes;  // ITACA codes of the subject rows written
};

}  // namespace tc
