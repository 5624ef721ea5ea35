// The user side of a run in the desktop program: the open-file dialog, the message boxes, the
// template and school-year dialogs and the hourglass. Every modal window goes through one runner,
// so that tests (and the unattended mode) can answer it instead of a person.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "desktop/forms.h"
#include "desktop/session.h"
#include "run/interaction.h"

class QDialog;
class QWidget;

namespace tc::app {

// Shows a modal dialog and returns its result; the default is QDialog::exec().
using DialogRunner = std::function<int(QDialog& dialog)>;

// The text of the standard error box for an error message: a full stop is added when the message
// does not already end in punctuation below '.'.
QString StandardErrorText(const QString& message);

// Message text for display: the core's CR LF line breaks become plain line breaks.
QString MessageText(std::string_view cp1252);

class QtInteraction : public Interaction, public desktop::Screen {
 public:
  explicit QtInteraction(QWidget* owner, DialogRunner runner = {});
  ~QtInteraction() override;

  std::optional<std::filesystem::path> ChooseItacaFile() override;
  void Inform(Notice notice) override;
  bool Confirm(Question question) override;
  void ShowError(const Error& error) override;
  void ProposeFile(const std::filesystem::path& file) override;
  std::optional<TemplateChoice> ChooseTemplate(TemplateDialog& dialog) override;
  void ChooseSchoolYear(SchoolYearDialog& dialog) override;
  void SetBusy(bool busy) override;
  bool GoOnDespite(const Guard& guard) override;
  PreviewChoice OfferPreview() override;
  bool ApproveChanges(const TablesPreview& preview) override;

  // Opens a report's HTML page; the default asks the system's browser (QDesktopServices). False
  // when it could not, and the text is shown instead.
  using PageOpener = std::function<bool(const std::filesystem::path& page)>;
  void SetPageOpener(PageOpener opener) { open_page_ = std::move(opener); }

  // The session's windows: "Proceso finalizado" with the run's summary, the safe question, the
  // information box and the refusal.
  bool ShowFinished(const desktop::Finished& finished) override;
  bool AskSafe(std::string_view question) override;
  void Tell(std::string_view message) override;
  void ShowRefusal(const Error& error) override;
  // The window "Copias de seguridad" of the session's working folder.
  void ShowBackups();

  // The session whose settings the preview question reads and changes.
  void SetSession(desktop::Session* session) { session_ = session; }
  // A window with a long text (the report, the preview): the text box "Texto" of `form`, with
  // "Guardar…", "Copiar" and "Imprimir"; returns its answer.
  // `page`: the report's page, which "Guardar…" offers beside the text (empty: none).
  int ShowText(const desktop::Form& form, const QString& text,
               const std::filesystem::path& page = {});
  // Where "Guardar…" saves: the save dialog (through the runner); nullopt when cancelled.
  std::optional<std::filesystem::path> ChooseSaveFile(bool offer_page);

  bool Busy() const { return busy_; }
  // The folder the file dialog opens in (that of the file chosen last).
  void SetStartFolder(const std::filesystem::path& folder) { start_folder_ = folder; }
  // The standard error box for a message that is already Unicode (start-up errors).
  void ShowErrorText(const QString& message);
  // The information and confirmation boxes for a text of the core.
  void InformText(std::string_view message);
  // `yes_by_default`: the answer Enter gives; Escape and the close box answer No.
  bool ConfirmText(std::string_view message, bool yes_by_default = true);

 private:
  void ViewReport(const QString& text, const std::filesystem::path& page);
  int Exec(QDialog& dialog);
  void ShowBox(QMessageBox::Icon icon, const QString& text);

  QPointer<QWidget> owner_;
  DialogRunner runner_;
  bool busy_ = false;
  std::filesystem::path start_folder_;
  std::filesystem::path proposed_file_;  // the file the next file dialog opens on
  desktop::Session* session_ = nullptr;
  PageOpener open_page_;
};

}  // namespace tc::app
