#include "desktop/session.h"

#include <algorithm>
#include <exception>

#include "base/codepage.h"
#include "desktop/forms.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "report/render.h"
#include "run/advice.h"
#include "run/report_file.h"
#include "run/run_summary.h"
#include "run/template_dialog.h"
#include "run/workplace.h"
#include "standing.h"

namespace tc::desktop {

std::optional<std::uintptr_t> ParseWindowHandle(std::string_view text) {
  constexpr std::size_t kMaxDigits = sizeof(std::uintptr_t) * 2;
  if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
  std::uintptr_t value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = (value << 4) | static_cast<std::uintptr_t>(digit);
  }
  return value;
}

std::string StandardErrorText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void SaveShown(const std::filesystem::path& file, const std::string& utf8_text,
               const std::filesystem::path& page) {
  platform::FileSystem& files = platform::RealFileSystem();
  const std::string extension = LowerCase(platform::PathToUtf8(file.extension()));
  if (!page.empty() && (extension == ".html" || extension == ".htm") && files.IsFile(page)) {
    platform::WriteFileAtomically(files, file, files.ReadFile(page));
  } else {
    platform::WriteFileAtomically(files, file, utf8_text);
  }
}

std::string ErrorBoxText(const Error& error) {
  std::string text = StandardErrorText(error.what());
  if (const std::string advice = WhatToDo(error); !advice.empty()) text += "\r\n\r\n" + advice;
  return text;
}

StartOptions ReadCommandLine(const std::vector<std::string>& arguments) {
  StartOptions options;
  if (arguments.size() != 2) return options;

  // The handle is converted first: when it is not a number nothing else of the hosted start
  // happens and the window stays standalone.
  const std::optional<std::uintptr_t> handle = ParseWindowHandle(arguments[1]);
  if (!handle) {
    options.error = "'$" + Utf8ToCp1252(arguments[1]) +
                    "' no es un valor entero v\xE1lido";  // válido
    return options;
  }
  options.embedded = true;
  options.host_window = *handle;

  const std::string word = AsciiLowerCase(arguments[0]);
  if (word == "importar") {
    options.panels = Panels::ClepsaToItaca;
  } else if (word == "exportar") {
    options.panels = Panels::ItacaToClepsa;
  }
  return options;
}

Session::Session(StartOptions start, std::filesystem::path outcome_file,
                 std::filesystem::path working_folder)
    : start_(std::move(start)),
      outcome_file_(std::move(outcome_file)),
      settings_file_(outcome_file_.parent_path() / platform::PathFromUtf8(kSettingsFile)),
      working_folder_(std::move(working_folder)) {
  state_.OutcomeCode = kOutcomeNothing;
  state_.EmbeddedRun = start_.embedded;
}

void Session::SetLanguage(std::string_view cp1252) {
  if (std::optional<std::string> language = LanguageOf(cp1252)) state_.LanguageChoice = *language;
}

void Session::FinishInterruptedRun() const { RecoverInterruptedRun(working_folder_); }

std::filesystem::path Session::FileDialogFolder() const {
  return state_.ItacaFileName.empty() ? std::filesystem::path()
                                      : state_.ItacaFileName.parent_path();
}

namespace {

// The line that says where the tables replaced were kept, and how to put them back.
std::string BackupSentence(const std::optional<store::GenerationInfo>& backup) {
  if (!backup) return {};
  return "Copia de seguridad de lo sustituido: " + std::to_string(backup->number) +
         " (\"Deshacer\" la repone; todas est\xE1n en \"Copias de seguridad\")\n";
}

std::string ReportText(const report::Report& report) { return report::RenderText(report); }

}  // namespace

Finished FinishedConversion(const ConversionResult& result, const std::filesystem::path& folder) {
  Finished finished;
  finished.summary = RunSummary(result, folder) + BackupSentence(result.backup);
  finished.report = ReportText(result.report);
  if (result.backup) finished.backup = result.backup->number;
  if (result.backup) finished.report_page = ReportPage(result.backup->folder);
  finished.folder = folder;
  return finished;
}

Finished FinishedExport(const ExportResult& result) {
  Finished finished;
  finished.summary = RunSummary(result) + BackupSentence(result.backup);
  finished.report = ReportText(result.report);
  if (result.backup) finished.backup = result.backup->number;
  if (result.backup) finished.report_page = ReportPage(result.backup->folder);
  finished.folder = result.output.parent_path();
  return finished;
}

std::string BackupDetail(const Backup& backup) {
  const store::GenerationInfo& g = backup.generation;
  std::string text = "Copia " + std::to_string(g.number) + ", del " + g.date + ": las tablas de " +
                     "antes de la " + RunName(g) + "\n";
  text += "Documento: " + (g.document.empty() ? std::string("-") : Utf8ToCp1252(g.document)) + "\n";
  text += "Centro: " + (g.school.empty() ? std::string("-") : g.school) + "\n";
  text += "Plantilla horaria: " + (g.template_code.empty() ? std::string("-") : g.template_code) +
          "\n";
  text += "Filas guardadas: " + BackupRows(backup) + "\n";
  for (const std::string& file : g.outside) {
    text += "Documento guardado: " + Utf8ToCp1252(file) + "\n";
  }
  text += backup.has_report ? "Informe de la ejecuci\xF3n: guardado con la copia (\"Ver informe\")\n"
                            : "Informe de la ejecuci\xF3n: no se guard\xF3 con esta copia\n";
  return text;
}

// The summary after the run has returned (its turn in the folder given back), so that
// "Deshacer" can put the backup back at once (the run undone, Clepsa is then told that nothing
// was done: its tables are those it had).
bool Session::ShowFinished(Finished finished) {
  if (screen_ == nullptr) return false;
  if (screen_->ShowFinished(finished) && finished.backup) {
    for (const Backup& backup : Backups()) {
      if (backup.generation.number == *finished.backup) return Restore(backup);
    }
  }
  return false;
}

std::vector<Backup> Session::Backups() {
  try {
    std::vector<Backup> backups = DescribeBackups(working_folder_);
    std::reverse(backups.begin(), backups.end());
    return backups;
  } catch (const std::exception& exception) {
    if (screen_ != nullptr) screen_->ShowRefusal(AsError(exception));
    return {};
  }
}

bool Session::CanUndo() const {
  try {
    return !store::ListGenerations(platform::RealFileSystem(), working_folder_).empty();
  } catch (const std::exception&) {
    return false;
  }
}

bool Session::Restore(const Backup& backup) {
  if (screen_ == nullptr || !screen_->AskSafe(RestoreQuestion(backup, working_folder_))) {
    return false;
  }
  try {
    const RestoreResult result = RestoreBackup(working_folder_, backup.generation.number);
    screen_->Tell(RestoreDoneText(result, working_folder_) + BackupSentence(result.backup));
    return true;
  } catch (const std::exception& exception) {
    screen_->ShowRefusal(AsError(exception));
    return false;
  }
}

bool Session::UndoLast() {
  const std::vector<Backup> backups = Backups();
  if (backups.empty()) {
    if (screen_ != nullptr) {
      screen_->Tell("No hay copias de seguridad en la carpeta " +
                    platform::PathText(working_folder_) +
                    ": se guardan cada vez que una ejecuci\xF3n sustituye las tablas de Clepsa.");
    }
    return false;
  }
  return Restore(backups.front());
}

std::string Session::Situation() const { return StandingText(working_folder_); }

Session::Next Session::Convert(Interaction& ui) {
  try {
    ConversionResult result = RunConversion(state_, ui, working_folder_);
    const RunResult outcome = result.result;
    bool undone = false;
    if (outcome == RunResult::Completed) {
      undone = ShowFinished(FinishedConversion(result, working_folder_));
      last_conversion_ = std::move(result);
    }
    return After(outcome, undone);
  } catch (const std::exception& exception) {
    ui.SetBusy(false);
    ui.ShowError(AsError(exception));
    return Next::Stay;
  }
}

Session::Next Session::Export(Interaction& ui) {
  try {
    const ExportResult result = RunExport(state_, ui, working_folder_);
    const RunResult outcome = result.result;
    const bool undone =
        outcome == RunResult::Completed && ShowFinished(FinishedExport(result));
    return After(outcome, undone);
  } catch (const std::exception& exception) {
    ui.SetBusy(false);
    ui.ShowError(AsError(exception));
    return Next::Stay;
  }
}

// After a completed run both directions are disabled (one run per program start); hosted, the
// window closes after a completed run and after a missing input.
Session::Next Session::After(RunResult result, bool undone) {
  // Cancelled or refused: nothing changed, and the window stays as it was (hosted too: the
  // outcome stays 0 until a run completes).
  if (result == RunResult::Cancelled || result == RunResult::Refused) return Next::Stay;
  if (result == RunResult::Completed) {
    state_.OutcomeCode = undone ? kOutcomeNothing : kOutcomeCompleted;
    runs_enabled_ = false;
    return state_.EmbeddedRun ? Next::Close : Next::Stay;
  }
  if (state_.EmbeddedRun) {
    state_.OutcomeCode = kOutcomeMissingInput;
    return Next::Close;
  }
  return Next::Stay;
}

bool Session::AskPreview() const {
  if (!ask_preview_) {
    try {
      ask_preview_ =
          platform::ReadIniValue(platform::RealFileSystem(), settings_file_, kSettingsSection,
                                 kAskPreviewKey) != "0";
    } catch (const std::exception&) {
      ask_preview_ = true;  // an unreadable settings file: the default
    }
  }
  return *ask_preview_;
}

void Session::SetAskPreview(bool ask) {
  ask_preview_ = ask;
  try {
    platform::WriteIniValue(platform::RealFileSystem(), settings_file_, kSettingsSection,
                            kAskPreviewKey, ask ? "1" : "0");
  } catch (const std::exception&) {
    // The choice holds for this start of the program.
  }
}

bool Session::AnswerPreviewQuestion(bool show_changes, bool dont_ask_again) {
  if (dont_ask_again) SetAskPreview(false);
  return show_changes;
}

std::optional<Error> Session::Closing() {
  if (!state_.EmbeddedRun || outcome_written_) return std::nullopt;
  outcome_written_ = true;
  try {
    platform::WriteIniValue(platform::RealFileSystem(), outcome_file_, kOutcomeSection, kOutcomeKey,
                            std::to_string(state_.OutcomeCode));
  } catch (const std::exception& exception) {
    return AsError(exception);
  }
  return std::nullopt;
}

}  // namespace tc::desktop
