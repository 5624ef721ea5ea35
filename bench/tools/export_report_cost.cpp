// What the export's report costs beside the export itself, in one process: the document loaded
// and the timetable written from SOLUC without a report (the export's own work), then again with
// the report (ITACA's hours counted as the document is read, its timetables gathered and
// verified), the three renderings and their writing with fsync, as the
// backup keeps them; then the text and the JSON of the same report without its timetables (the
// entries alone, what the backup kept before the verification and the page). Run it on a folder
// the export works on, after one export has rebuilt DIASHORAST for the template.
// Usage: export_report_cost WORKING_DIR DOCUMENT.xml TEMPLATE OUT_DIR
// Prints one line per part: name, wall seconds, processor seconds; then the bytes written.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion.h"
#include "conversion/stages.h"
#include "export/solution_export.h"
#include "itaca/document.h"
#include "platform/file_system.h"
#include "report/report.h"
#include "report/timetable.h"
#include "run/report_file.h"
#include "run/template_dialog.h"
#include "store/database.h"
#include "store/staged_tables.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

class Part {
 public:
  explicit Part(const char* name)
      : name_(name), wall_(std::chrono::steady_clock::now()), cpu_(std::clock()) {}
  ~Part() {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    const double cpu = static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC;
    std::printf("%s %.6f %.6f\n", name_, wall, cpu);
  }

 private:
  const char* name_;
  std::chrono::steady_clock::time_point wall_;
  std::clock_t cpu_;
};

void Write(const fs::path& file, const std::string& bytes) {
  fs::remove(file);
  const std::string_view piece(bytes);
  tc::platform::RealFileSystem().WriteNewFile(file, std::span<const std::string_view>(&piece, 1));
}

// The template's period lines, as the export's template dialog gives them: without them the slot
// table would be empty and every placed record left out.
std::vector<std::string> PeriodLines(const tc::itaca::Document& document,
                                     const std::string& template_code) {
  tc::TemplateDialog dialog(document, tc::TemplateDialogMode::Conversion, "VALENCI\xC1");
  dialog.SetCodeText(template_code);
  return dialog.PeriodLines();
}

// One export into `document` (loaded afresh), with or without its report; `hours` counted as it
// was loaded, for the report.
tc::ExportCounts Timetable(tc::store::Database& db, tc::itaca::Document& document,
                           const std::string& template_code, tc::report::Report* report,
                           tc::TemplateHoursCount* hours) {
  const tc::CentreIdentity identity = tc::ReadIdentity(document);
  // As the export run does: the slot table rebuilt aside (dropped at the end), ITACA's own
  // timetable of the template for the verification counted as the document was read.
  tc::store::StagedTables staged(db);
  tc::ConversionState state;
  state.SelectedTemplateCode = template_code;
  state.ListBoxPlanti = PeriodLines(document, template_code);
  tc::ImportTimeSlots(staged, state);
  if (report) report->timetables().itaca_hours = hours->Of(template_code);
  tc::SolutionTables tables(staged);
  const tc::ExportCounts counts = tc::WriteTimetable(
      tables, document, identity, {template_code, identity.curso, "01/01/2027 00:00:00"}, report);
  if (report) tc::report::KeepVerification(report->timetables());
  tables.Close();
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  // With the program's own memory settings, so that the figures compare like with like.
  tc::platform::UseHugeMemoryPages(argv);
  if (argc != 5) {
    std::fprintf(stderr, "uso: export_report_cost CARPETA DOCUMENTO.xml PLANTILLA SALIDA\n");
    return 64;
  }
  try {
    tc::store::Database db(argv[1]);
    const fs::path out(argv[4]);
    fs::create_directories(out);
    // The loads timed with the timetables: with the report its lessons are counted as the
    // document is read; without it they are passed over alike, since the export reads nothing
    // else of them.
    {
      const tc::itaca::Gleaning passed_over[] = {{tc::itaca::kGroupTimetables, {}, [](auto) {}},
                                                 {tc::itaca::kDutyTimetables, {}, [](auto) {}}};
      tc::itaca::Document document;
      {
        Part part("exportacion_sin_informe");
        document = tc::itaca::Document::Load(argv[2], tc::platform::RealFileSystem(), passed_over);
        Timetable(db, document, argv[3], nullptr, nullptr);
      }
      Part part("documento_escrito");
      Write(out / "salida.xml", document.Serialize());
    }
    tc::TemplateHoursCount hours;
    tc::itaca::Document document;
    tc::report::Report report(tc::report::Report::Kind::Export);
    {
      Part part("exportacion_con_informe");
      document =
          tc::itaca::Document::Load(argv[2], tc::platform::RealFileSystem(), hours.Gleanings());
      Timetable(db, document, argv[3], &report, &hours);
    }
    std::size_t bytes = 0;
    // As the backup renders them: the first lines once for the three.
    for (const tc::store::GenerationExtra& extra : tc::BackupReportFiles(report)) {
      std::string contents;
      {
        Part part(extra.file_name.c_str());
        extra.render([&contents](std::string piece) { contents += piece; });
      }
      Part part("escritura");
      Write(out / extra.file_name, contents);
      bytes += contents.size();
    }
    std::printf("bytes %zu\n", bytes);
    tc::report::Report entries = report;
    entries.timetables() = {};
    for (const auto& [name, format] :
         {std::pair<const char*, tc::ReportFormat>{"entradas.txt", tc::ReportFormat::Text},
          {"entradas.json", tc::ReportFormat::Json}}) {
      std::string contents;
      {
        Part part(name);
        contents = tc::ReportFileContents(entries, format);
      }
      Part part("escritura_entradas");
      Write(out / name, contents);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
