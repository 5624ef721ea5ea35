// The user side of a run in the Windows program: the system's open dialog "Archivo XML", the
// message boxes, the template and school-year dialogs, the preview question and the preview,
// the report beside "Proceso finalizado", and the hourglass. What each shows and asks comes from
// desktop/forms.h and the run's identities; this class only draws it with the Windows API.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "desktop/forms.h"
#include "desktop/session.h"
#include "run/interaction.h"

namespace tc::win32 {

// A text of the core for an edit field: every line break becomes CR LF.
std::wstring EditText(std::string_view cp1252);

class Win32Interaction : public Interaction, public desktop::Screen {
 public:
  // `owner` owns the boxes and dialogs. Hosted, it is a hidden window of the program and `main`,
  // the window inside Clepsa's, is disabled by the program itself while a box or dialog is up.
  Win32Interaction(desktop::Session& session, HWND owner, HWND main);
  ~Win32Interaction() override;

  std::optional<std::filesystem::path> ChooseItacaFile() override;
  void Inform(Notice notice) override;
  bool Confirm(Question question) override;
  void ShowError(const Error& error) override;
  void ProposeFile(const std::filesystem::path& file) override { proposed_file_ = file; }
  std::optional<TemplateChoice> ChooseTemplate(TemplateDialog& dialog) override;
  void ChooseSchoolYear(SchoolYearDialog& dialog) override;
  void SetBusy(bool busy) override;
  bool GoOnDespite(const Guard& guard) override;
  PreviewChoice OfferPreview() override;
  bool ApproveChanges(const TablesPreview& preview) override;

  // The session's windows: "Proceso finalizado" with the run's summary, the safe question, the
  // information box and the refusal.
  bool ShowFinished(const desktop::Finished& finished) override;
  bool AskSafe(std::string_view question) override;
  void Tell(std::string_view message) override;
  void ShowRefusal(const Error& error) override;
  // The window "Copias de seguridad" of the session's working folder.
  void ShowBackups();

  // The folder the file dialog opens in (that of the file chosen last).
  void SetStartFolder(const std::filesystem::path& folder) { start_folder_ = folder; }
  // The standard error box for a message of the core (start-up errors).
  void ShowErrorText(std::string_view cp1252);
  // A window with a long text (the report, the preview): the text box "Texto" of `form`, with
  // "Guardar…", "Copiar" and "Imprimir"; returns IDOK or IDCANCEL.
  // `page`: the report's page, which "Guardar…" offers beside the text (empty: none).
  int ShowText(const desktop::Form& form, const std::wstring& text,
               const std::filesystem::path& page = {});

 private:
  class ModalScope;
  void ViewReport(const std::wstring& text, const std::filesystem::path& page);

  desktop::Session& session_;
  HWND owner_;
  HWND main_;
  bool busy_ = false;
  std::filesystem::path start_folder_;
  std::filesystem::path proposed_file_;  // the file the next file dialog opens on
};

}  // namespace tc::win32
