// A user who answers a run from a script and records what was shown.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "run/interaction.h"
#include "run/run_state.h"
#include "run/school_year_dialog.h"
#include "support/conversion_run.h"

namespace tc::test {

class ScriptedInteraction : public Interaction, public ScriptedAnswers {
 public:
  std::optional<std::filesystem::path> file;   // the file chosen (nullopt: cancel)
  std::optional<std::string> template_code;    // typed into the template combo (else as preset)
  std::optional<std::string> language;         // typed into the language combo
  std::optional<std::string> school_year;      // typed into the school-year combo
  bool close_template_dialog = false;          // Escape (or the close box) in the template dialog
  std::map<GuardKind, bool> go_on;             // answers to the guards; No when not given

  std::vector<std::string> informed;           // texts of the Inform boxes
  std::vector<std::string> errors;             // ShowError messages
  std::vector<Guard> guards;                   // the guards asked, in order
  std::vector<std::filesystem::path> proposed;  // the files the file dialog was to open on
  int template_dialogs = 0;
  int school_year_dialogs = 0;

  std::optional<std::filesystem::path> ChooseItacaFile() override { return file; }
  void ProposeFile(const std::filesystem::path& proposal) override {
    proposed.push_back(proposal);
  }
  void Inform(Notice notice) override { informed.emplace_back(NoticeText(notice)); }
  bool Confirm(Question question) override { return Answer(question); }
  void ShowError(const Error& error) override { errors.emplace_back(error.what()); }
  std::optional<TemplateChoice> ChooseTemplate(TemplateDialog& dialog) override;
  void ChooseSchoolYear(SchoolYearDialog& dialog) override;
  bool GoOnDespite(const Guard& guard) override;
};

}  // namespace tc::test
