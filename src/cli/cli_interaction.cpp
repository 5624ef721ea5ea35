#include "cli_interaction.h"

#include <ostream>
#include <utility>

#include "base/codepage.h"
#include "run/advice.h"

namespace tc::cli {

namespace {

std::string_view YesNo(bool yes) { return yes ? "S\xED" : "No"; }  // SÃ­

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

void PrintError(const Error& error, std::ostream& err) {
  err << "Error: " << ForTerminal(error.what()) << '\n';
  if (const std::string advice = WhatToDo(error); !advice.empty()) {
    err << ForTerminal(advice) << '\n';
  }
}

// The missing-input messages are the command's to give, on standard error and naming what is
// missing, and so is what a refused guard left (GoOnDespite); every other notice goes to
// standard output.
void CliInteraction::Inform(Notice notice) {
  if (notice == Notice::NoFile || notice == Notice::NoFileOrSolution ||
      notice == Notice::NothingChanged) {
    return;
  }
  out_ << ForTerminal(NoticeText(notice)) << '\n';
}

// Each question is answered by its flag, and the answer is echoed as a short line.
bool CliInteraction::Confirm(Question question) {
  bool answer = false;
  std::string_view echo;
  switch (question) {
    case Question::ImportAllTemplates:
      answer = answers_.all_templates;
      echo = "\xBFImportar los datos de todas las plantillas?";  // ¿
      break;
    case Question::RemoveIdleGroupsAndTeachers:
      answer = !answers_.keep_idle;
      echo = "\xBFQuitar los grupos y profesores sin clases en esta plantilla?";
      break;
  }
  out_ << ForTerminal(echo) << ' ' << ForTerminal(YesNo(answer)) << '\n';
  return answer;
}

void CliInteraction::ShowError(const Error& error) { PrintError(error, err_); }

std::optional<TemplateChoice> CliInteraction::ChooseTemplate(TemplateDialog& dialog) {
  if (answers_.template_code) dialog.SetCodeText(*answers_.template_code);
  return dialog.Result();
}

// A guard is refused, on standard error with what to do, unless --force was given; then it is
// said on standard output and the run goes on.
bool CliInteraction::GoOnDespite(const Guard& guard) {
  if (answers_.force) {
    out_ << "Aviso (" << GuardName(guard.kind) << "): " << ForTerminal(guard.what)
         << "\nSe sigue por --force.\n";
    return true;
  }
  err_ << "Error (" << GuardName(guard.kind) << "): " << ForTerminal(guard.what) << '\n'
       << "No se ha cambiado nada. Si es lo que quiere, repita la orden con --force.\n";
  return false;
}

void CliInteraction::ChooseSchoolYear(SchoolYearDialog& dialog) {
  if (answers_.school_year) dialog.SetComboText(*answers_.school_year);
}

}  // namespace tc::cli
