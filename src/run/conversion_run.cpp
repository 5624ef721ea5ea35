#include "run/conversion_run.h"

#include <optional>

#include "base/error.h"
#include "itaca/document.h"
#include "platform/platform.h"
#include "run/report_file.h"
#include "run/guards.h"
#include "run/template_dialog.h"
#include "run/work_record.h"
#include "scratch_folder.h"
#include "store/staged_tables.h"
#include "store/schemas.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

// Where a conversion builds its tables: the working folder itself, or for a check a folder of
// its own outside it.
struct Target {
  fs::path tables;
  bool check = false;
};

// The school as the backups name it: its code and its name.
std::string SchoolOf(const itaca::Document& document) {
  const itaca::Element root = document.Root();
  std::string code = root.DialogAttr("codigo");
  const std::string name = root.DialogAttr("denominacion");
  if (!code.empty() && !name.empty()) code += ' ';
  return code + name;
}

// The lesson rows of ASIGT (a duty row has its duty as task) and the rows of DIASHORAST the
// stages left; a guard naming what is empty and why when either is none.
std::optional<Guard> EmptyResultGuard(store::StagedTables& tables, const ConversionState& state,
                                      const ConversionResult& result) {
  std::size_t lessons = 0;
  {
    store::Table asigt = tables.Open(store::AsigtTable().name, store::OpenMode::Shared);
    for (asigt.First(); !asigt.Eof(); asigt.Next()) {
      if (asigt.GetText("CTAREA") != asigt.GetText("CASIG")) ++lessons;
    }
    asigt.Close();
  }
  std::size_t slots = 0;
  for (const TableRows& table : result.tables) {
    if (table.table == store::DiashorastTable().name) slots = table.rows;
  }
  if (lessons > 0 && slots > 0) return std::nullopt;

  std::string empty;
  if (lessons == 0) empty = "ninguna clase en ASIGT";
  if (slots == 0) empty += std::string(empty.empty() ? "" : " y ") + "ninguna hora en DIASHORAST";
  const std::string code = "\xAB" + state.SelectedTemplateCode + "\xBB";
  std::string why;
  if (!result.chosen_template) {
    why = "el documento no tiene plantillas horarias";
  } else if (state.ListBoxPlanti.empty()) {
    why = "la plantilla " + code + " no tiene periodos del lunes en el documento";
  }
  if (lessons == 0 && result.chosen_template) {
    why += std::string(why.empty() ? "" : ", y ") +
           "el documento no tiene ninguna clase (horario_grupo) de la plantilla " + code;
  }
  return Guard{GuardKind::EmptyResult,
               "Las tablas de Clepsa quedar\xED" "an sin horario: " + empty + ", porque " + why +
                   ".\r\nSi sigue, las tablas de Clepsa se sustituyen por estas."};
}

// The run's flow, steps 1 to 6. A check stops before the end of a completed run: nothing shown,
// no outcome.
ConversionResult Convert(RunState& state, Interaction& ui, const Workplace& workplace,
                         const Target& target) {
  const fs::path& working_dir = workplace.folder;
  ConversionResult result;

  // What a killed run left is finished or removed first, as every run does (a check too: what
  // it compares with is then what the last run committed).
  RecoverInterruptedRun(workplace);

  // 1. The file: Cancel ends the run, with nothing done (a file chosen earlier is not taken).
  std::optional<fs::path> chosen = ui.ChooseItacaFile();
  if (!chosen) {
    result.result = RunResult::Cancelled;
    return result;
  }
  state.ItacaFileName = std::move(*chosen);

  // 2. A missing input ends the run with its message; the host learns it through the outcome.
  if (!InputExists(*workplace.files, state.ItacaFileName)) {
    ui.Inform(Notice::NoFile);
    if (state.EmbeddedRun && !target.check) state.OutcomeCode = kOutcomeMissingInput;
    result.missing_input = state.ItacaFileName;
    return result;
  }

  // 3. The document. Held until the tables are committed: the commit renders the report, and
  // the document's tree and text (several times its size) need not stay beside it.
  std::optional<itaca::Document> loaded =
      itaca::Document::Load(state.ItacaFileName, *workplace.files);
  const itaca::Document& document = *loaded;

  // 4. Template and language, only when the document has a template to choose. Escape or the
  // close box end the run; a code that is none of the document's is refused before anything is
  // built (the dialog does not let it through; a code given on the command line may be one).
  if (!document.Select(itaca::kTemplates).Empty()) {
    TemplateDialog dialog(document, TemplateDialogMode::Conversion, state.LanguageChoice);
    std::optional<TemplateChoice> choice = ui.ChooseTemplate(dialog);
    if (!choice) {
      result.result = RunResult::Cancelled;
      return result;
    }
    if (!dialog.CanContinue()) throw Error(dialog.NotInDocument(), ErrorKind::Usage);
    if (std::optional<std::string> language = LanguageOf(choice->language)) {
      choice->language = std::move(*language);
    }
    result.chosen_template = ChosenTemplate{choice->code, dialog.Description(), choice->shift,
                                            choice->period_lines.size()};
    state.SelectedTemplateCode = std::move(choice->code);
    state.LanguageChoice = std::move(choice->language);
    state.SelectedTemplateShift = std::move(choice->shift);
    state.ListBoxPlanti = std::move(choice->period_lines);
  }
  result.language = state.LanguageChoice;

  // A check builds elsewhere, but fails as the run would when the working folder is not there.
  if (target.check && !workplace.files->IsFolder(working_dir)) {
    throw TableError("No se puede crear la tabla " + store::ProftTable().name +
                         ": no existe la carpeta " + platform::PathText(working_dir) + ".",
                     ErrorKind::InputMissing, platform::PathText(working_dir));
  }

  // 5. The stages, on tables built aside: Clepsa's tables are replaced only when every stage
  // has succeeded, so a failed run leaves the working folder exactly as it was.
  {
    BusyCursor busy(ui);
    // One run at a time changes the folder; a check changes nothing and takes no turn.
    std::optional<RunLock> turn;
    if (!target.check) turn.emplace(workplace);
    {
      // The run's tables, built aside: dropped when the block ends, unless committed.
      store::StagedTables staged(store::Database(
          target.tables, target.check ? platform::RealFileSystem() : *workplace.files));
      Converted converted = ConvertDocument(document, state, ui, staged, &result.report);
      result.tables = std::move(converted.tables);
      result.templates = converted.templates;
      report::Report::Header& header = result.report.header();
      header.document = platform::PathText(state.ItacaFileName);
      header.folder = platform::PathText(working_dir);
      header.template_code = state.SelectedTemplateCode;
      header.language = state.LanguageChoice;
      // Tables without lessons or without slots are no timetable: asked first.
      if (std::optional<Guard> empty = EmptyResultGuard(staged, state, result)) {
        busy.Release();
        if (!ui.GoOnDespite(*empty)) {
          staged.Drop();
          ui.Inform(Notice::NothingChanged);
          result.result = RunResult::Refused;
          return result;
        }
      }
      if (!target.check) {
        const PreviewChoice offer = ui.OfferPreview();
        busy.Release();
        if (offer == PreviewChoice::Cancel ||
            (offer == PreviewChoice::Show && !ui.ApproveChanges(PreviewStaged(staged)))) {
          staged.Drop();
          ui.Inform(Notice::NothingChanged);
          result.result = RunResult::Cancelled;
          return result;
        }
      }
      store::CommitDetails details;
      details.run = "conversion";
      details.document = platform::PathToUtf8(state.ItacaFileName);
      details.extras = BackupReportFiles(result.report);
      details.template_code = state.SelectedTemplateCode;
      details.school = SchoolOf(document);
      // What the tables were made from, committed with them (a check records nothing).
      if (!target.check) {
        // Every template's lessons were taken when the user said so at the group timetables.
        const bool all_templates = converted.templates == TemplatesTaken::All &&
                                   !document.Select(itaca::kGroupTimetables).Empty();
        details.external.push_back(StageRecord(
            workplace, RecordOfConversion(document, state.ItacaFileName,
                                          state.SelectedTemplateCode, all_templates,
                                          state.LanguageChoice)));
        std::vector<store::GenerationExtra> records = KeptRecords(workplace);
        details.extras.insert(details.extras.end(), records.begin(), records.end());
      }
      loaded.reset();
      result.backup = staged.Commit(details);
    }
    busy.Release();
  }

  result.result = RunResult::Completed;
  if (target.check) return result;

  // 6. The end of a completed run.
  state.OutcomeCode = kOutcomeCompleted;
  ui.Inform(Notice::Finished);
  return result;
}

}  // namespace

ConversionResult RunConversion(RunState& state, Interaction& ui, const Workplace& workplace) {
  return Convert(state, ui, workplace, Target{workplace.folder, false});
}

ConversionCheck CheckConversion(RunState& state, Interaction& ui, const Workplace& workplace) {
  const fs::path& working_dir = workplace.folder;
  const ScratchFolder scratch;
  ConversionCheck check;
  check.conversion = Convert(state, ui, workplace, Target{scratch.path(), true});
  if (check.conversion.result == RunResult::Completed && HoldsWorkingTables(*workplace.files, working_dir)) {
    std::vector<std::string> tables;
    for (const store::TableDef* def : store::WorkingTables()) tables.push_back(def->name);
    check.preview = PreviewFolders(*workplace.files, working_dir, scratch.path(), tables);
  }
  return check;
}

}  // namespace tc
