// The conversion stages' surroundings for tests: answers to the two questions from a script, and
// one conversion run on a document given inline.
#pragma once

#include <map>
#include <string_view>
#include <vector>

#include "conversion/context.h"
#include "support/table_rows.h"
#include "support/test_support.h"

namespace tc::test {

// Answers to the conversion's questions from a script, keeping the questions asked.
struct ScriptedAnswers {
  std::map<Question, bool> answers;  // answers to Confirm; No when not given
  std::vector<Question> questions;   // the questions asked, in order

  bool Answer(Question question) {
    questions.push_back(question);
    const auto answer = answers.find(question);
    return answer != answers.end() && answer->second;
  }
};

class ScriptedQuestions : public Questions, public ScriptedAnswers {
 public:
  bool Confirm(Question question) override { return Answer(question); }
};

// One conversion's surroundings for stage tests: a document parsed from inline XML (UTF-8), an
// empty working folder with the run's staged tables, the conversion's state and scripted answers.
// Run stages with context().
class ConversionRun {
 public:
  explicit ConversionRun(std::string_view xml_utf8);
  ConversionContext& context() { return ctx; }
  // Live rows of a working table the run staged, e.g. Rows("PROFT").
  std::vector<Row> Rows(std::string_view table) const;

  TempDir dir;
  store::StagedTables tables;
  ConversionState state;
  ScriptedQuestions ui;
  itaca::Document document;
  ConversionContext ctx;
};

}  // namespace tc::test
