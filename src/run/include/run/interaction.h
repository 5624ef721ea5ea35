// Every question a run asks the user goes through this interface, each with its identity: the
// desktop programs answer with dialogs, the command line with its flags, the tests with scripted
// answers. Texts come from the identities (QuestionText, NoticeText) and are Windows-1252.
#pragma once

#include <filesystem>
#include <optional>

#include "base/error.h"
#include "conversion/conversion.h"
#include "report/report.h"
#include "run/preview.h"
#include "run/run_state.h"
#include "run/template_dialog.h"

namespace tc {

class SchoolYearDialog;

class Interaction : public Questions {
 public:
  // The open-file dialog "Archivo XML"; nullopt when the user cancels.
  virtual std::optional<std::filesystem::path> ChooseItacaFile() = 0;
  // An information box; returns when the user has confirmed it.
  virtual void Inform(Notice notice) = 0;
  // A confirmation box with the buttons "Sí" and "No" (Questions::Confirm): true for Yes,
  // closing the box is No.
  // An error in the standard error box, for a run that goes on (the template dialog in export
  // mode without a slot table).
  virtual void ShowError(const Error& error) = 0;
  // The template dialog, shown modally until closed; the dialog object carries its logic.
  virtual TemplateChoice ChooseTemplate(TemplateDialog& dialog) = 0;
  // The school-year dialog, shown modally until closed.
  virtual void ChooseSchoolYear(SchoolYearDialog& dialog) = 0;
  // The hourglass while stages work.
  virtual void SetBusy(bool /*busy*/) {}

  // Before a conversion replaces the working tables: a front end that shows what will change
  // (a question the user may turn off) answers true here, and then receives the preview of the
  // tables built aside. Answering false to ApproveChanges ends the run with RunResult::Cancelled
  // and leaves the working folder as it was. By default nobody is asked.
  virtual bool WantsPreview() { return false; }
  virtual bool ApproveChanges(const TablesPreview& /*preview*/) { return true; }

  // A completed run's report, handed over just before "Proceso finalizado" is shown, so that a
  // front end can offer it beside that message ("Ver informe").
  virtual void ReportReady(const report::Report& /*report*/) {}
  // Just before ReportReady, when the run kept its report with a backup generation: the HTML page
  // there ("informe.html"), which "Ver informe" opens in the system's browser.
  virtual void ReportPageKept(const std::filesystem::path& /*page*/) {}
};

// The hourglass while it lives, or until Release, whichever way the run leaves.
class BusyCursor {
 public:
  explicit BusyCursor(Interaction& ui) : ui_(ui) { ui_.SetBusy(true); }
  ~BusyCursor() { Release(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void Release() {
    if (busy_) ui_.SetBusy(false);
    busy_ = false;
  }

 private:
  Interaction& ui_;
  bool busy_ = true;
};

}  // namespace tc
