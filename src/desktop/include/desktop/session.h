// What the desktop programs do, whatever toolkit draws them: how the command line is read, which
// directions are offered, what a click of a direction runs and what follows it, and the outcome
// reported to Clepsa. The Qt program and the Windows program hold one Session and only show what
// it says.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "run/conversion_run.h"
#include "run/export_run.h"
#include "run/interaction.h"
#include "run/restore.h"
#include "run/run_state.h"

namespace tc::desktop {

// Which direction panels the main window keeps.
enum class Panels { Both, ItacaToClepsa, ClepsaToItaca };

struct StartOptions {
  bool embedded = false;           // EmbeddedRun: started by the host with two arguments
  std::uintptr_t host_window = 0;  // native handle of the host window (0: none)
  Panels panels = Panels::Both;
  // The conversion error of a handle that is not hexadecimal (Windows-1252), for the standard
  // error box; the window then starts as an ordinary standalone window.
  std::optional<std::string> error;
};

// The host handle: hexadecimal digits only (no prefix, no sign, no blanks), at most as many as a
// native handle holds. nullopt for anything else.
std::optional<std::uintptr_t> ParseWindowHandle(std::string_view text);

// The standard error box's text for a message: a full stop is added when the message does not
// already end in punctuation below '.'. Windows-1252.
std::string StandardErrorText(std::string_view message);
// The standard error box for an error of a run: the error's own message as above, an empty line,
// then what the user can do about it (when there is something to say). Lines end in CR LF.
std::string ErrorBoxText(const Error& error);

// Clepsa starts the program with exactly two arguments: the direction word ("importar" or
// "exportar", any letter case) and its own window handle in hexadecimal digits. Any other number
// of arguments means a standalone start. `arguments` are UTF-8, without the program's name.
StartOptions ReadCommandLine(const std::vector<std::string>& arguments);

// After a completed run: what the window "Proceso finalizado" shows.
struct Finished {
  std::string summary;              // what the run wrote, its warnings, the backup it kept
  std::string report;               // the run's report ("Ver informe")
  std::filesystem::path report_page;  // its HTML page, kept with the backup (empty: none)
  std::optional<int> backup;        // the backup the run kept ("Deshacer")
  std::filesystem::path folder;     // the folder of what the run wrote ("Abrir la carpeta")
};

// What the session shows and asks outside a run's own questions. Texts are Windows-1252.
class Screen {
 public:
  virtual ~Screen() = default;
  // "Proceso finalizado" and its summary; true when the user chose "Deshacer".
  virtual bool ShowFinished(const Finished& finished) = 0;
  // A question with "SÌ" and "No" whose default is "No"; Escape and the close box answer No.
  virtual bool AskSafe(std::string_view question) = 0;
  // An information box.
  virtual void Tell(std::string_view message) = 0;
  // The standard error box (ErrorBoxText).
  virtual void ShowRefusal(const Error& error) = 0;
};

// "Guardar..." of the report and preview windows: the dialog's title and its kinds of file, the
// page's only where the report has one (Windows-1252).
inline constexpr std::string_view kSaveDialogTitle = "Guardar como";
inline constexpr std::string_view kSaveTextKind = "Texto (*.txt)";
inline constexpr std::string_view kSavePageKind = "P\xE1gina web (*.html)";
// Writes `file`: the report's page (`page`, when there is one) if the name chosen ends in .html
// or .htm, the text shown (UTF-8) otherwise. Throws Error with what went wrong.
void SaveShown(const std::filesystem::path& file, const std::string& utf8_text,
               const std::filesystem::path& page);

// The summary of a completed run, as the command line prints it, with the backup it kept.
Finished FinishedConversion(const ConversionResult& result, const std::filesystem::path& folder);
Finished FinishedExport(const ExportResult& result);

// What the backups window shows of the backup chosen: its run, document, school and template,
// the rows of every table it kept, and whether its report is kept with it.
std::string BackupDetail(const Backup& backup);

class Session {
 public:
  // `outcome_file` is "Clepsa.ini" beside the executable; `working_folder` Clepsa's C:\ZTEMP.
  Session(StartOptions start, std::filesystem::path outcome_file,
          std::filesystem::path working_folder);

  const StartOptions& Start() const { return start_; }
  const RunState& State() const { return state_; }
  const std::filesystem::path& WorkingFolder() const { return working_folder_; }
  const std::filesystem::path& OutcomeFile() const { return outcome_file_; }
  // Tests put the outcome file, the settings file and the working folder elsewhere.
  void SetOutcomeFile(std::filesystem::path file) { outcome_file_ = std::move(file); }
  void SetSettingsFile(std::filesystem::path file) { settings_file_ = std::move(file); }
  void SetWorkingFolder(std::filesystem::path folder) { working_folder_ = std::move(folder); }

  // At the program's start: what a run of any program interrupted in the working folder (a
  // power cut, a killed process) is finished or undone.
  void FinishInterruptedRun() const;

  // Both direction buttons: enabled until one run completes (one completed run per start).
  bool RunsEnabled() const { return runs_enabled_; }
  // The entry of the main window's language list the user picked ("VALENCI√Å", "CASTELLANO");
  // any other text is not taken.
  void SetLanguage(std::string_view cp1252);
  // The folder the file dialog opens in: that of the file chosen last (empty at first).
  std::filesystem::path FileDialogFolder() const;

  // What the window does once a direction's run has returned.
  enum class Next { Stay, Close };
  // The click of "OK" under "Transformar datos desde ITACA hacia Clepsa" and under
  // "Transformar datos desde Clepsa hacia ITACA". An error ends the run in the standard error box
  // (ui.ShowError) and changes nothing else. After a completed run both directions are disabled;
  // hosted, the window closes after a completed run and after a missing input. A run the user
  // cancelled or refused at a guard leaves everything as it was.
  Next Convert(Interaction& ui);
  Next Export(Interaction& ui);

  // Whether a conversion asks to show the changes before it replaces Clepsa's tables (the
  // question's "No volver a preguntar" turns it off); kept in "TransClepsaItaca.ini" beside the
  // executable. A settings file that cannot be written keeps the choice for this start only.
  bool AskPreview() const;
  void SetAskPreview(bool ask);
  // The preview question has been answered (Yes: show the changes); its check box
  // "No volver a preguntar" turns the question off. Returns whether to show the changes.
  bool AnswerPreviewQuestion(bool show_changes, bool dont_ask_again);

  // What the last completed conversion did.
  const std::optional<ConversionResult>& LastConversion() const { return last_conversion_; }

  // The window that shows the summary after a completed run, asks before a restore and tells
  // its outcome. Without one, a completed run shows nothing more than its own messages.
  void SetScreen(Screen* screen) { screen_ = screen; }
  bool ShowsFinished() const { return screen_ != nullptr; }

  // The working folder's backups, newest first; an error (a folder that is not there) is
  // shown and gives none.
  std::vector<Backup> Backups();
  // Whether there is a backup to put back ("Deshacer la ˙ltima transformaciÛn").
  bool CanUndo() const;
  // Puts a backup back after the question that says what it replaces (default No); the
  // outcome, or the refusal (another program holds a table, another run works there), is shown.
  // Returns whether it was put back.
  bool Restore(const Backup& backup);
  // The newest backup, the same way.
  bool UndoLast();

  // Where the user stands: the working folder, the last conversion there, whether Clepsa has
  // computed a timetable since, and the last export.
  std::string Situation() const;

  // The window is closing: hosted, the outcome goes to Clepsa.ini (once). Returns the error to
  // show when it cannot be written.
  std::optional<Error> Closing();

 private:
  // `undone`: the completed run was undone from "Proceso finalizado".
  Next After(RunResult result, bool undone = false);

  // True when the user undid the run there.
  bool ShowFinished(Finished finished);

  Screen* screen_ = nullptr;
  StartOptions start_;
  std::filesystem::path outcome_file_;
  std::filesystem::path settings_file_;
  mutable std::optional<bool> ask_preview_;  // once read or set
  std::filesystem::path working_folder_;
  RunState state_;
  bool runs_enabled_ = true;
  bool outcome_written_ = false;
  std::optional<ConversionResult> last_conversion_;
};

}  // namespace tc::desktop
