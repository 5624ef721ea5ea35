#include "commands.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <ostream>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/codepage.h"
#include "base/error.h"
#include "cli_interaction.h"
#include "platform/platform.h"
#include "report/render.h"
#include "run/advice.h"
#include "run/conversion_run.h"
#include "run/export_run.h"
#include "run/preview.h"
#include "run/report_file.h"
#include "run/restore.h"
#include "run/run_summary.h"
#include "run/run_state.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"

namespace tc::cli {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ToCp1252(const std::optional<std::string>& utf8) {
  if (!utf8) return std::nullopt;
  return Utf8ToCp1252(*utf8);
}

fs::path WorkingFolder(const std::optional<std::string>& data_dir) {
  if (data_dir) return platform::WorkingDir(platform::PathFromUtf8(*data_dir));
  return platform::WorkingDir();
}

// Runs one command body. An error ends it with the message and what to do about it on standard
// error, and the exit status of its kind.
template <typename Body>
ExitStatus Guarded(std::ostream& err, Body body) {
  try {
    return body();
  } catch (const std::exception& exception) {
    const Error error = AsError(exception);
    PrintError(error, err);
    return StatusOf(error);
  }
}

// A missing input: the run's own words, then which file or folder is not there, on standard
// error.
ExitStatus ReportMissing(Notice notice, const std::vector<fs::path>& missing, std::ostream& err) {
  err << ForTerminal(NoticeText(notice)) << '\n';
  for (const fs::path& path : missing) {
    if (path.empty()) {
      err << Utf8(u8"  no se ha indicado ning\u00FAn archivo\n");
    } else {
      std::error_code ignored;
      const bool folder_missing =
          !path.parent_path().empty() && !fs::is_directory(path.parent_path(), ignored);
      err << "  no existe " << platform::PathToUtf8(folder_missing ? path.parent_path() : path)
          << (folder_missing ? " (carpeta)" : "") << '\n';
    }
  }
  return ExitStatus::MissingInput;
}

// Standard output, or nowhere with -q.
class Output {
 public:
  Output(const OutputOptions& options, std::ostream& out)
      : stream_(options.quiet ? silent_ : out) {}
  std::ostream& stream() { return stream_; }

 private:
  std::ostream silent_{nullptr};  // no buffer: everything written is dropped
  std::ostream& stream_;
};

// The report kept in the file --report names, and said so.
void SaveReportFile(const report::Report& report, const OutputOptions& options,
                    std::ostream& out) {
  if (!options.report_file) return;
  const fs::path file = platform::PathFromUtf8(*options.report_file);
  SaveReport(report, file);
  out << "Informe guardado en " << platform::PathToUtf8(file) << '\n';
}

// The line that says where the tables replaced were kept, when a run kept any.
void PrintBackup(const std::optional<store::GenerationInfo>& backup, std::ostream& out) {
  if (!backup) return;
  out << "Copia de seguridad de lo sustituido: " << backup->number
      << " (transclepsa restore " << backup->number << " la repone)\n";
}

// The conversion's state and answers from the command's options.
RunState StateFor(const ConvertOptions& options) {
  RunState state;
  state.LanguageChoice = NamedLanguage(ToCp1252(options.language));
  return state;
}

// A run the user stopped: a refused guard has said why on standard error.
ExitStatus NotDone(RunResult result) {
  return result == RunResult::Completed ? ExitStatus::Completed : ExitStatus::Failed;
}

Answers ConversionAnswers(const ConvertOptions& options) {
  Answers answers;
  answers.file = platform::PathFromUtf8(options.file);
  answers.template_code = ToCp1252(options.template_code);
  answers.all_templates = options.all_templates;
  answers.keep_idle = options.keep_idle;
  answers.force = options.force;
  return answers;
}

// The export's answers: without --template, the dialog's own choice, the last conversion's.
Answers ExportAnswers(const ExportOptions& options) {
  Answers answers;
  answers.file = platform::PathFromUtf8(options.file);
  answers.template_code = ToCp1252(options.template_code);
  answers.school_year = ToCp1252(options.school_year);
  if (answers.school_year && !SchoolYearDialog::IsYear(*answers.school_year)) {
    throw Error("El curso \xAB" + *answers.school_year +
                    "\xBB no es un a\xF1o de cuatro cifras (por ejemplo 2025).",
                ErrorKind::Usage);
  }
  answers.force = options.force;
  return answers;
}

}  // namespace

ExitStatus Convert(const ConvertOptions& options, std::ostream& terminal, std::ostream& err) {
  return Guarded(err, [&] {
    Output output(options, terminal);
    std::ostream& out = output.stream();
    const fs::path dir = WorkingFolder(options.data_dir);
    RunState state = StateFor(options);
    CliInteraction ui(ConversionAnswers(options), out, err);

    const ConversionResult result = RunConversion(state, ui, dir);
    if (result.result == RunResult::MissingInput) {
      return ReportMissing(Notice::NoFile, {result.missing_input}, err);
    }
    if (result.result != RunResult::Completed) return NotDone(result.result);
    out << ForTerminal(RunSummary(result, dir));
    SaveReportFile(result.report, options, out);
    PrintBackup(result.backup, out);
    return ExitStatus::Completed;
  });
}

ExitStatus CheckConversion(const ConvertOptions& options, std::ostream& terminal,
                           std::ostream& err) {
  return Guarded(err, [&] {
    Output output(options, terminal);
    std::ostream& out = output.stream();
    const fs::path dir = WorkingFolder(options.data_dir);
    RunState state = StateFor(options);
    CliInteraction ui(ConversionAnswers(options), out, err);

    const ConversionCheck check = tc::CheckConversion(state, ui, dir);
    if (check.conversion.result == RunResult::MissingInput) {
      return ReportMissing(Notice::NoFile, {check.conversion.missing_input}, err);
    }
    if (check.conversion.result != RunResult::Completed) return NotDone(check.conversion.result);
    out << Utf8(u8"Comprobaci\u00F3n: la conversi\u00F3n se completar\u00EDa sin errores (no se "
                u8"ha cambiado nada).\n\n");
    out << ForTerminal(report::RenderText(check.conversion.report)) << '\n';
    if (check.preview) {
      out << ForTerminal(RenderPreview(*check.preview));
    } else {
      out << Utf8(u8"La carpeta de trabajo no tiene tablas de Clepsa: se crear\u00EDan todas.\n");
    }
    SaveReportFile(check.conversion.report, options, out);
    return ExitStatus::Completed;
  });
}

ExitStatus ListTemplates(const TemplatesOptions& options, std::ostream& out, std::ostream& err) {
  return Guarded(err, [&] {
    const fs::path file = platform::PathFromUtf8(options.file);
    const std::optional<TemplateList> list = DocumentTemplates(file, ToCp1252(options.language));
    if (!list) return ReportMissing(Notice::NoFile, {file}, err);
    if (list->templates.empty()) {
      out << "El documento no tiene plantillas horarias.\n";
      return ExitStatus::Completed;
    }
    out << "Plantillas horarias (idioma " << ForTerminal(list->language) << "):\n";
    for (const TemplateListing& listing : list->templates) {
      const bool preselected = &listing == &list->templates.front();
      out << '\n'
          << ForTerminal(listing.code) << (preselected ? "  (preseleccionada)" : "") << '\n';
      out << "  Horario: " << ForTerminal(listing.description) << '\n';
      out << "  Turno: " << ForTerminal(listing.shift) << '\n';
      out << "  HORAS:";
      if (listing.period_lines.empty()) out << " ninguna";
      out << '\n';
      for (const std::string& line : listing.period_lines) {
        out << "    " << ForTerminal(line) << '\n';
      }
    }
    return ExitStatus::Completed;
  });
}

ExitStatus Export(const ExportOptions& options, std::ostream& terminal, std::ostream& err) {
  return Guarded(err, [&] {
    Output output(options, terminal);
    std::ostream& out = output.stream();
    const fs::path dir = WorkingFolder(options.data_dir);
    RunState state;
    CliInteraction ui(ExportAnswers(options), out, err);

    const ExportResult result = RunExport(state, ui, dir);
    if (result.result == RunResult::MissingInput) {
      return ReportMissing(Notice::NoFileOrSolution, result.missing_inputs, err);
    }
    if (result.result != RunResult::Completed) return NotDone(result.result);
    out << ForTerminal(RunSummary(result));
    SaveReportFile(result.report, options, out);
    PrintBackup(result.backup, out);
    return ExitStatus::Completed;
  });
}

ExitStatus CheckExport(const ExportOptions& options, std::ostream& terminal, std::ostream& err) {
  return Guarded(err, [&] {
    Output output(options, terminal);
    std::ostream& out = output.stream();
    const fs::path dir = WorkingFolder(options.data_dir);
    RunState state;
    CliInteraction ui(ExportAnswers(options), out, err);

    const ExportCheck check = tc::CheckExport(state, ui, dir);
    const ExportResult& result = check.exported;
    if (result.result == RunResult::MissingInput) {
      return ReportMissing(Notice::NoFileOrSolution, result.missing_inputs, err);
    }
    if (result.result != RunResult::Completed) return NotDone(result.result);
    out << Utf8(u8"Comprobaci\u00F3n: la exportaci\u00F3n se completar\u00EDa sin errores (no se "
                u8"ha cambiado nada).\n\n");
    out << ForTerminal(report::RenderText(result.report)) << '\n';
    out << Utf8(u8"Documento que se escribir\u00EDa: ") << platform::PathToUtf8(result.output)
        << (check.output_exists ? Utf8(u8" (ya existe: se reemplazar\u00EDa)") : " (nuevo)")
        << '\n';
    if (check.preview) out << ForTerminal(RenderPreview(*check.preview));
    SaveReportFile(result.report, options, out);
    return ExitStatus::Completed;
  });
}

ExitStatus Restore(const RestoreOptions& options, std::ostream& out, std::ostream& err) {
  return Guarded(err, [&] {
    const fs::path dir = WorkingFolder(options.data_dir);
    if (options.list) {
      const std::vector<Backup> backups = DescribeBackups(dir);
      if (backups.empty()) {
        out << "No hay copias de seguridad en " << platform::PathToUtf8(dir) << ".\n";
        return ExitStatus::Completed;
      }
      out << "Copias de seguridad en " << platform::PathToUtf8(dir)
          << Utf8(u8": las tablas de Clepsa tal como estaban antes de cada ejecuci\u00F3n.\n"
                  u8"  copia  fecha                ejecuci\u00F3n     documento de la "
                  u8"ejecuci\u00F3n\n");
      for (const Backup& backup : backups) {
        const store::GenerationInfo& generation = backup.generation;
        std::string number = std::to_string(generation.number);
        number.resize(std::max<std::size_t>(number.size(), 5), ' ');
        std::string run = RunName(generation);
        run.resize(std::max<std::size_t>(run.size(), 14), ' ');
        out << "  " << number << "  " << generation.date << "  " << ForTerminal(run)
            << generation.document << '\n';
        // Two backups of one document told apart: the template, the school and the rows kept.
        out << "         plantilla "
            << (generation.template_code.empty() ? std::string("-")
                                                 : ForTerminal(generation.template_code));
        if (!generation.school.empty()) out << ", centro " << ForTerminal(generation.school);
        out << "; filas: " << ForTerminal(BackupRows(backup)) << '\n';
      }
      return ExitStatus::Completed;
    }
    const RestoreResult result = RestoreBackup(dir, options.number);
    out << ForTerminal(RestoreDoneText(result, dir));
    PrintBackup(result.backup, out);
    return ExitStatus::Completed;
  });
}

}  // namespace tc::cli
