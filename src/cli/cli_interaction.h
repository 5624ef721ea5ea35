// The user of a run started from the command line: every question is answered by a flag given
// beforehand, messages go to standard output, errors to standard error, all as UTF-8.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "run/interaction.h"
#include "run/school_year_dialog.h"

namespace tc::cli {

// The command line's texts come in two encodings, told apart by their type: its own are UTF-8,
// written as u8"" literals with accents as \u escapes and handed to streams and CLI11 by Utf8;
// the core's are Windows-1252 (plain literals, as everywhere in the core: the errors it throws
// included) and reach the terminal only through ForTerminal.
inline std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

// Windows-1252 text of the core as UTF-8 for the terminal, with CR LF line breaks as LF.
std::string ForTerminal(std::string_view cp1252);

// An error on standard error: "Error: " and its message, then what to do about it.
void PrintError(const Error& error, std::ostream& err);

struct Answers {
  std::filesystem::path file;                 // the file "chosen" in the open dialog
  std::optional<std::string> template_code;   // typed into the template combo (Windows-1252)
  bool all_templates = false;                 // Yes to the multi-template question
  bool keep_idle = false;                     // No to the prune question
  std::optional<std::string> school_year;     // typed into the school-year combo (Windows-1252)
  bool force = false;                         // --force: Yes to every guard
};

class CliInteraction : public Interaction {
 public:
  CliInteraction(Answers answers, std::ostream& out, std::ostream& err);

  std::optional<std::filesystem::path> ChooseItacaFile() override;
  void Inform(Notice notice) override;
  bool Confirm(Question question) override;
  void ShowError(const Error& error) override;
  std::optional<TemplateChoice> ChooseTemplate(TemplateDialog& dialog) override;
  void ChooseSchoolYear(SchoolYearDialog& dialog) override;
  bool GoOnDespite(const Guard& guard) override;

 private:
  Answers answers_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace tc::cli
