// Every question a run asks the user goes through this interface, each with its identity: the
// desktop programs answer with dialogs, the command line with its flags, the tests with scripted
// answers. Texts come from the identities (QuestionText, NoticeText) and are Windows-1252.
#pragma once

#include <filesystem>
#include <optional>

#include "base/error.h"
#include "conversion/conversion.h"
#include "report/report.h"
#include "run/guards.h"
#include "run/preview.h"
#include "run/run_state.h"
#include "run/template_dialog.h"

namespace tc {

class SchoolYearDialog;

// What the user answered to the offer to see the changes before the conversion replaces the
// tables: replace them at once ("No"), see them first ("Sí"), or stop (Escape, the close box).
enum class PreviewChoice { Replace, Show, Cancel };

// The answer a question's box gives to Enter: the one that keeps the user's data as the program
// recommends. Taking every template's data is advised against by the question's own text.
bool DefaultAnswer(Question question);

class Interaction : public Questions {
 public:
  // The open-file dialog "Archivo XML"; nullopt when the user cancels, which ends the run.
  virtual std::optional<std::filesystem::path> ChooseItacaFile() = 0;
  // The file the next file dialog opens on (the export: the conversion's document).
  virtual void ProposeFile(const std::filesystem::path& /*file*/) {}
  // An information box; returns when the user has confirmed it.
  virtual void Inform(Notice notice) = 0;
  // A confirmation box with the buttons "Sí" and "No" (Questions::Confirm): true for Yes,
  // closing the box is No.
  // An error in the standard error box, for a run that goes on (the template dialog in export
  // mode without a slot table).
  virtual void ShowError(const Error& error) = 0;
  // The template dialog, shown modally until closed; the dialog object carries its logic.
  // nullopt when it was closed without "Continuar" (Escape, the close box): the run ends.
  virtual std::optional<TemplateChoice> ChooseTemplate(TemplateDialog& dialog) = 0;
  // The school-year dialog, shown modally until closed.
  virtual void ChooseSchoolYear(SchoolYearDialog& dialog) = 0;
  // The hourglass while stages work.
  virtual void SetBusy(bool /*busy*/) {}
  // A guard's question (GuardQuestion): true to go on all the same. "No" is the default answer
  // and closing the box answers No.
  virtual bool GoOnDespite(const Guard& guard) = 0;

  // Before a conversion replaces the working tables: a front end that shows what will change
  // (a question the user may turn off) answers Show here, and then receives the preview of the
  // tables built aside. Cancel here, or false from ApproveChanges, ends the run with
  // RunResult::Cancelled and "No se ha cambiado nada", the working folder as it was. By default
  // nobody is asked.
  virtual PreviewChoice OfferPreview() { return PreviewChoice::Replace; }
  virtual bool ApproveChanges(const TablesPreview& /*preview*/) { return true; }
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
