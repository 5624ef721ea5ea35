#include "run/export_run.h"

#include <future>
#include <optional>
#include <utility>

#include "base/codepage.h"
#include "base/error.h"
#include "conversion/conversion.h"
#include "conversion/stages.h"
#include "export/solution_export.h"
#include "itaca/document.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "report/render.h"
#include "report/timetable.h"
#include "run/report_file.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"
#include "run/work_record.h"
#include "scratch_folder.h"
#include "store/database.h"
#include "store/staged_tables.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

// Copies every file of the export's tables (any extension: the table, its index, its memo) from
// the working folder to the check's own folder `to`, reading the working folder only.
void CopyExportTables(const Workplace& workplace, const fs::path& to) {
  for (const fs::path& file : workplace.files->List(workplace.folder)) {
    if (!workplace.files->IsFile(file)) continue;
    const std::string stem = AsciiUpperCase(platform::PathToUtf8(file.stem()));
    for (const std::string& table : ExportTables()) {
      if (stem != table) continue;
      try {
        platform::WriteFileAtomically(platform::RealFileSystem(), to / file.filename(),
                                      workplace.files->ReadFile(file));
      } catch (const Error& failure) {
        throw Error("No se puede copiar la tabla " + table + " para la comprobaci\xF3n. " +
                        failure.what(),
                    failure.kind(), table);
      }
    }
  }
}

// Where the export works: the working folder itself, or for a check a folder of its own that
// holds copies of what the export reads.
struct Target {
  const ScratchFolder* scratch = nullptr;
  bool check() const { return scratch != nullptr; }
};

// Everything after the slot table has been rebuilt (staged): the tables, the school year, the new
// document and its saving (a check commits the slot table in its own folder and saves nothing).
// The save takes the document: it is released before the commit renders the report files.
ExportResult WriteExport(RunState& state, Interaction& ui, const Workplace& workplace,
                         store::StagedTables& staged, itaca::Document& document,
                         const CentreIdentity& identity, TemplateHoursCount& itaca_hours,
                         std::chrono::system_clock::time_point now, const Target& target) {
  ExportResult result;
  // The verification runs beside the saving of the document and the commit's own work, once the
  // timetable is written, and then (for the backup's report files, which wait for them as they
  // start) the report's first lines. Declared after `result`, whose report it completes:
  // whichever way the run ends, it is over before the report goes.
  std::shared_future<report::LevelLines> verified;
  std::shared_future<void> timetables;  // the verification alone
  {
    SolutionTables tables(staged);

    // The school year, offered as the document's own and confirmed or changed by the user.
    state.SchoolYear = identity.curso;
    SchoolYearDialog year_dialog(state.SchoolYear);
    ui.ChooseSchoolYear(year_dialog);
    state.SchoolYear = year_dialog.Close();

    const ExportChoice choice{state.SelectedTemplateCode, state.SchoolYear,
                              platform::ShortDateLongTime(now)};
    // ITACA's own timetable of the template, for the verification: taken as the document was
    // read, counted beside the walk over SOLUC.
    std::future<report::HoursList> itaca_counted =
        std::async([&itaca_hours, code = choice.template_code] { return itaca_hours.Of(code); });
    const ExportCounts counts = WriteTimetable(tables, document, identity, choice, &result.report);
    // A document without one class or duty would empty the timetable in ITACA: never written.
    if (counts.group_lessons == 0 && counts.duty_periods == 0) {
      throw RunError("No se escribe el documento " +
                         platform::PathText(ExportFileName(state.ItacaFileName)) +
                         ": no tendr\xED" "a ninguna clase (horario_grupo) ni ninguna guardia "
                         "(horario_ocupacion) de la plantilla \xAB" + state.SelectedTemplateCode +
                         "\xBB. Compruebe que Clepsa ha calculado el horario y que la plantilla "
                         "es la de la conversi\xF3n.",
                     ErrorKind::InvalidData, std::string(store::kSolucTable));
    }
    // The first lines read the report's entries, names and timetables, which the run no longer
    // changes; only the backup's files need them now. The verification's end is told apart:
    // the page draws its grids while the lines are made.
    std::promise<void> verification;
    timetables = verification.get_future().share();
    verified =
        std::async([&report = result.report, counted = std::move(itaca_counted),
                    backup = !target.check(), verification = std::move(verification)]() mutable {
          try {
            report.timetables().itaca_hours = counted.get();
            report::KeepVerification(report.timetables());
            verification.set_value();
          } catch (...) {
            verification.set_exception(std::current_exception());
            throw;
          }
          return backup ? report::RenderLevels(report) : report::LevelLines();
        }).share();
    result.group_lessons = counts.group_lessons;
    result.duty_periods = counts.duty_periods;
    result.report.read().push_back({std::string(store::kSolucTable), counts.records});
    result.report.elements().push_back({"horario_grupo", counts.group_lessons});
    result.report.elements().push_back({"horario_ocupacion", counts.duty_periods});
    result.report.tables().push_back({store::DiashorastTable().name, counts.slots});
    tables.Close();
  }
  result.output = ExportFileName(state.ItacaFileName);
  // The header before the commit: the report kept with the backup is the whole one.
  report::Report::Header& header = result.report.header();
  header.document = platform::PathText(state.ItacaFileName);
  header.folder = platform::PathText(workplace.folder);
  header.template_code = state.SelectedTemplateCode;
  header.school_year = state.SchoolYear;
  header.output = platform::PathText(result.output);
  if (target.check()) {
    staged.Commit();
  } else {
    store::CommitDetails details;
    details.run = "exportacion";
    details.document = platform::PathToUtf8(state.ItacaFileName);
    details.extras = BackupReportFiles(result.report, verified, timetables);
    std::vector<store::GenerationExtra> records = KeptRecords(workplace);
    details.extras.insert(details.extras.end(), records.begin(), records.end());
    details.template_code = state.SelectedTemplateCode;
    details.school = identity.codigo + (identity.codigo.empty() ? "" : " ") + identity.denominacion;
    const store::Replacement record =
        StageRecord(workplace, RecordOfExport(result.output, state.SelectedTemplateCode));
    details.external.push_back(record);
    try {
      result.backup = SaveAndCommit(std::move(document), result.output, staged, std::move(details));
    } catch (...) {
      // Not committed: the staged record goes (the next run would remove it otherwise).
      try {
        if (workplace.files->IsFile(record.staged)) workplace.files->Remove(record.staged);
      } catch (...) {
        // A record that cannot go: the commit's own error is the one to report.
      }
      throw;
    }
  }
  verified.get();  // the report whole before it is shown
  result.result = RunResult::Completed;
  result.template_code = state.SelectedTemplateCode;
  result.school_year = state.SchoolYear;
  return result;
}

// A document of another school or school year than the one the tables were converted from.
std::optional<Guard> OtherSchoolGuard(const ConversionRecord& record,
                                      const CentreIdentity& identity, const fs::path& document) {
  if (record.school_code == identity.codigo && record.school_name == identity.denominacion &&
      record.school_year == identity.curso) {
    return std::nullopt;
  }
  auto school = [](const std::string& code, const std::string& name, const std::string& year) {
    return "del centro " + code + " \xAB" + name + "\xBB, curso " + year;
  };
  return Guard{GuardKind::ExportOtherSchool,
               "El documento " + platform::PathText(document) + " es " +
                   school(identity.codigo, identity.denominacion, identity.curso) +
                   ", pero las tablas de Clepsa se hicieron del documento " +
                   platform::PathText(record.document) + ", " +
                   school(record.school_code, record.school_name, record.school_year) + " (" +
                   record.time + ").\r\nSi sigue, ITACA recibir\xE1 el horario de esas tablas "
                   "con los datos de este documento."};
}

// A SOLUC last written before the last conversion holds a timetable of the tables before it.
std::optional<Guard> OutdatedSolutionGuard(const ConversionRecord& record,
                                           const Workplace& workplace) {
  const store::Database working(workplace.folder, *workplace.files);
  const fs::path soluc = working.TablePath(store::kSolucTable);
  const std::optional<std::int64_t> written = workplace.files->WriteTime(soluc);
  if (!written || *written >= record.time_seconds) return std::nullopt;
  return Guard{GuardKind::SolutionOutdated,
               "La tabla SOLUC de Clepsa (" + platform::PathText(soluc) +
                   ") es anterior a la \xFAltima conversi\xF3n (" + record.time +
                   "): su horario se calcul\xF3 con las tablas de antes. Calcule de nuevo el "
                   "horario en Clepsa antes de exportarlo."};
}

// An export with no template, or with another one than the conversion's: its hours would be
// mapped to the periods of that template, or to none.
std::optional<Guard> ExportTemplateGuard(const std::string& code,
                                         const std::optional<ConversionRecord>& record) {
  if (code.empty()) {
    return Guard{GuardKind::ExportWithoutTemplate,
                 "No se ha elegido ninguna plantilla horaria: el documento no tendr\xED"
                 "a ninguna clase ni ninguna guardia."};
  }
  if (!record || record->all_templates || record->template_code.empty() ||
      record->template_code == code) {
    return std::nullopt;
  }
  return Guard{GuardKind::ExportOtherTemplate,
               "La plantilla elegida, \xAB" + code + "\xBB, no es la de la conversi\xF3n, \xAB" +
                   record->template_code + "\xBB: las horas de Clepsa se escribir\xED" "an con "
                   "los periodos de otra plantilla y se perder\xED" "an las clases que no "
                   "encajen."};
}

ExportResult Export(RunState& state, Interaction& ui, const Workplace& workplace,
                    std::optional<std::chrono::system_clock::time_point> now,
                    const Target& target) {
  const fs::path& working_dir = workplace.folder;
  // What a killed run left is finished or removed first, as every run does, so that what is
  // read below is what the last run committed.
  RecoverInterruptedRun(workplace);
  const std::optional<ConversionRecord> record = ReadConversionRecord(workplace);

  ui.Inform(Notice::OpenItacaFile);
  if (record) ui.ProposeFile(record->document);
  std::optional<fs::path> chosen = ui.ChooseItacaFile();
  if (!chosen) {  // Cancel ends the run, with nothing done
    ExportResult cancelled;
    cancelled.result = RunResult::Cancelled;
    return cancelled;
  }
  state.ItacaFileName = std::move(*chosen);

  {
    const store::Database working(working_dir, *workplace.files);
    const bool document_there = InputExists(*workplace.files, state.ItacaFileName);
    const bool solution_there = working.Exists(store::kSolucTable);
    if (!document_there || !solution_there) {
      ui.Inform(Notice::NoFileOrSolution);
      if (state.EmbeddedRun && !target.check()) state.OutcomeCode = kOutcomeMissingInput;
      ExportResult missing;
      if (!document_there) missing.missing_inputs.push_back(state.ItacaFileName);
      if (!solution_there) missing.missing_inputs.push_back(working.TablePath(store::kSolucTable));
      return missing;
    }
  }

  // The document is loaded and its root checked first: one that does not parse, has no centro
  // root or lacks one of the four identity attributes stops the run before any table is touched.
  // Its lessons and duty periods are only counted, for the verification: nothing else of them is
  // read, and the tree spares their nodes. The export records no digest of it.
  TemplateHoursCount itaca_hours;
  itaca::Document document =
      itaca::Document::Load(state.ItacaFileName, *workplace.files, itaca_hours.Gleanings(),
                            itaca::DigestTaken::WhenAsked);
  const CentreIdentity identity = ReadIdentity(document);

  // The export belongs to the conversion that built the tables, and SOLUC to those tables.
  ExportResult refused;
  refused.result = RunResult::Refused;
  auto go_on = [&](std::optional<Guard> guard) {
    if (!guard || ui.GoOnDespite(*guard)) return true;
    ui.Inform(Notice::NothingChanged);
    return false;
  };
  if (record && !go_on(OtherSchoolGuard(*record, identity, state.ItacaFileName))) return refused;
  if (record && !go_on(OutdatedSolutionGuard(*record, workplace))) return refused;

  // A check works on copies of the tables, in its own folder. The document is only read (a
  // check saves none), in place, so that it fails exactly as the export would.
  if (target.check()) CopyExportTables(workplace, target.scratch->path());
  store::Database db(target.check() ? target.scratch->path() : working_dir,
                     target.check() ? platform::RealFileSystem() : *workplace.files);

  // The template for this export: the conversion's is preselected. Escape or the close box end
  // the run; a code that is none of the document's is refused (the dialog does not let it
  // through; one given on the command line may be).
  {
    const std::string conversion_template =
        record ? record->template_code : LastConversionTemplate(working_dir);
    TemplateDialog dialog(document, TemplateDialogMode::Export, state.LanguageChoice, &db,
                          conversion_template);
    // Without a slot table to open (no conversion in this folder, or one held by another
    // program) the export cannot map Clepsa's hours back: the run ends here, with that one
    // message, rather than writing a timetable with no lesson in it.
    if (const auto& error = dialog.ActivationError()) throw *error;
    std::optional<TemplateChoice> choice = ui.ChooseTemplate(dialog);
    if (!choice) {
      ExportResult cancelled;
      cancelled.result = RunResult::Cancelled;
      return cancelled;
    }
    if (!choice->code.empty() && !dialog.CanContinue()) {
      throw Error(dialog.NotInDocument(), ErrorKind::Usage);
    }
    if (!go_on(ExportTemplateGuard(choice->code, record))) return refused;
    state.SelectedTemplateCode = std::move(choice->code);
    state.ListBoxPlanti = std::move(choice->period_lines);
  }

  // DIASHORAST is rebuilt aside and replaces the old one only once the document is saved.
  ExportResult result;
  std::optional<RunLock> turn;  // one run at a time changes the folder; a check takes no turn
  if (!target.check()) turn.emplace(workplace);
  {
    store::StagedTables staged(db);  // dropped, unless committed, when the block ends
    ImportTimeSlots(staged, state);
    BusyCursor busy(ui);
    result = WriteExport(state, ui, workplace, staged, document, identity, itaca_hours,
                         now ? *now : std::chrono::system_clock::now(), target);
    busy.Release();
  }

  if (target.check()) return result;

  state.OutcomeCode = kOutcomeCompleted;
  ui.Inform(Notice::Finished);
  return result;
}

ExportCheck Check(RunState& state, Interaction& ui, const Workplace& workplace,
                  std::optional<std::chrono::system_clock::time_point> now) {
  const fs::path& working_dir = workplace.folder;
  const ScratchFolder scratch;
  ExportCheck check;
  check.exported = Export(state, ui, workplace, now, Target{&scratch});
  if (check.exported.result == RunResult::Completed) {
    check.output_exists = InputExists(*workplace.files, check.exported.output);
    check.preview = PreviewFolders(*workplace.files, working_dir, scratch.path(),
                                   {store::DiashorastTable().name});
  }
  return check;
}

}  // namespace

ExportResult RunExport(RunState& state, Interaction& ui, const Workplace& workplace) {
  return Export(state, ui, workplace, std::nullopt, Target{});
}

ExportResult RunExport(RunState& state, Interaction& ui, const Workplace& workplace,
                       std::chrono::system_clock::time_point now) {
  return Export(state, ui, workplace, now, Target{});
}

ExportCheck CheckExport(RunState& state, Interaction& ui, const Workplace& workplace) {
  return Check(state, ui, workplace, std::nullopt);
}

ExportCheck CheckExport(RunState& state, Interaction& ui, const Workplace& workplace,
                        std::chrono::system_clock::time_point now) {
  return Check(state, ui, workplace, now);
}

std::string LastConversionTemplate(const fs::path& working_dir) {
  try {
    store::Database db(working_dir);
    const std::string& name = store::DiashorastTable().name;
    if (!db.Exists(name)) return {};
    store::Table table = db.Open(name, store::OpenMode::Shared);
    table.First();
    std::string code = table.Eof() ? std::string() : table.GetText("MARCOXML");
    table.Close();
    return code;
  } catch (const Error&) {
    // An unreadable slot table is the export's own business; it reports it itself.
    return {};
  }
}

}  // namespace tc
