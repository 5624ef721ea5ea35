#include "cli/cli_interaction.h"

#include <ostream>
#include <utility>

#include "conversion/run_state.h"
#include "export/school_year.h"
#include "store/codepage.h"

namespace tc::cli {

namespace {

// The two questions a conversion asks, told apart by words only they hold.
constexpr std::string_view kAllTemplatesMark = "todas las Plantillas";
constexpr std::string_view kPruneMark = "quitar dichos Grupos";

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string_view YesNo(bool yes) { return yes ? "S\xED" : "No"; }  // Sí

}  // namespace

std::string ForTerminal(std::string_view cp1252) {
  std::string text;
  text.reserve(cp1252.size());
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    if (cp1252[i] == '\r' && i + 1 < cp1252.size() && cp1252[i + 1] == '\n') continue;
    text.push_back(cp1252[i]);
  }
  return Cp1252ToUtf8(text);
}

CliInteraction::CliInteraction(Answers answers, std::ostream& out, std::ostream& err)
    : answers_(std::move(answers)), out_(out), err_(err) {}

std::optional<std::filesystem::path> CliInteraction::ChooseItacaFile() { return answers_.file; }

void CliInteraction::Inform(std::string_view message) {
  out_ << ForTerminal(message) << '\n';
  if (message == kMessageFinished) finished_ = true;
}

bool CliInteraction::Confirm(std::string_view message) {
  bool answer = false;
  std::string_view question;
  if (Contains(message, kAllTemplatesMark)) {
    answer = answers_.all_templates;
    question = "\xBFImportar los datos de todas las plantillas?";  // ¿
  } else if (Contains(message, kPruneMark)) {
    answer = !answers_.keep_idle;
    question = "\xBFQuitar los grupos y profesores sin clases en esta plantilla?";
  } else {
    // A question this command has no flag for is answered No, as closing the box would.
    out_ << ForTerminal(message) << '\n';
    question = "Respuesta";
  }
  out_ << ForTerminal(question) << ' ' << ForTerminal(YesNo(answer)) << '\n';
  return answer;
}

void CliInteraction::ShowError(std::string_view message) {
  err_ << "Error: " << ForTerminal(message) << '\n';
}

TemplateChoice CliInteraction::ChooseTemplate(TemplateDialog& dialog) {
  if (answers_.template_code) dialog.SetCodeText(*answers_.template_code);
  chosen_description_ = dialog.Description();
  return dialog.Result();
}

void CliInteraction::ChooseSchoolYear(SchoolYearDialog& dialog) {
  if (answers_.school_year) dialog.SetComboText(*answers_.school_year);
}

}  // namespace tc::cli
