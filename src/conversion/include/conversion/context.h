// What every conversion stage works with: the loaded document, the conversion's state, the
// working folder's tables, whoever answers the two questions, and the lists of codes already
// given.
#pragma once

#include <string>
#include <unordered_set>

#include "conversion/conversion.h"
#include "itaca/document.h"
#include "store/database.h"

namespace tc {

struct ConversionContext {
  const itaca::Document& document;
  ConversionState& state;
  store::Database& db;
  Questions& questions;

  // The case-sensitive lists of the subjects stage (hash sets: only membership is asked of
  // them); empty at the start of every run.
  std::unordered_set<std::string> UsedCodes;          // every ASIGNOMT.COD written
  std::unordered_set<std::string> UsedNames;          // subject and task names already met
  std::unordered_set<std::string> ItacaSubjectCodes;  // ITACA codes of the subject rows written
};

}  // namespace tc
