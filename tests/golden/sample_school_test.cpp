// The sample school's round trip against files kept in tests/golden/sample: its seven working
// tables as text, the exported document and the reports of both runs. Any change of what users
// get shows here and in the review of these files. TC_UPDATE_GOLDEN=1 rewrites them from the
// current program.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "base/codepage.h"
#include "report/render.h"
#include "run/conversion_run.h"
#include "run/export_run.h"
#include "store/schemas.h"
#include "support/dbf_text.h"
#include "support/scripted_interaction.h"
#include "support/test_support.h"

namespace tc {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";
const fs::path kGolden = fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample";

bool Updating() {
  const char* value = std::getenv("TC_UPDATE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

// Compares `actual` with the golden file, or rewrites the file when updating.
void ExpectGolden(const std::string& actual, const std::string& file) {
  const fs::path path = kGolden / file;
  if (Updating()) {
    test::WriteFile(path, actual);
    return;
  }
  ASSERT_TRUE(fs::exists(path)) << path << " is missing: run with TC_UPDATE_GOLDEN=1";
  EXPECT_EQ(test::ReadFile(path), actual) << "differs from " << path;
}

// The date of the export depends on the clock and the user's formats: not part of the comparison.
std::string WithoutExportDate(const std::string& xml) {
  return std::regex_replace(xml, std::regex("fecha_exportacion=\"[^\"]*\""),
                            "fecha_exportacion=\"...\"");
}

// The run's report as text and as JSON, its paths named as the sample's files are (the run's
// own live in a temporary folder).
void ExpectGoldenReport(report::Report report, const std::string& name) {
  report::Report::Header& header = report.header();
  header.document = fs::path(header.document).filename().string();
  header.folder = fs::path(header.folder).filename().string();
  header.output = fs::path(header.output).filename().string();
  ExpectGolden(Cp1252ToUtf8(report::RenderText(report)), name + ".txt");
  ExpectGolden(report::RenderJson(report), name + ".json");
}

TEST(SampleSchool, ConversionAndExportGiveTheGoldenTablesDocumentAndReports) {
  test::TempDir dir;
  const fs::path data = dir / "ZTEMP";
  fs::create_directory(data);
  const fs::path xml = dir / "ies_exemple.xml";
  fs::copy_file(kSample, xml);

  // The command line's defaults: the first template, Valencian, only the chosen template's
  // data, idle groups and teachers removed.
  RunState state;
  test::ScriptedInteraction ui;
  ui.file = xml;
  ui.answers = {{Question::ImportAllTemplates, false},
                {Question::RemoveIdleGroupsAndTeachers, true}};
  const ConversionResult conversion = RunConversion(state, ui, data);
  ASSERT_EQ(conversion.result, RunResult::Completed);
  for (const store::TableDef* table : store::WorkingTables()) {
    ExpectGolden(test::DbfAsText(test::ReadFile(data / (table->name + ".DBF"))),
                 table->name + ".txt");
  }
  ExpectGoldenReport(conversion.report, "informe-conversion");

  // Clepsa's timetable for these tables, then the export with the same template and the
  // document's own school year.
  fs::copy_file(kGolden / "SOLUC.DBF", data / "SOLUC.DBF");
  RunState export_state;
  test::ScriptedInteraction export_ui;
  export_ui.file = xml;
  export_ui.template_code = state.SelectedTemplateCode;
  const auto now = std::chrono::system_clock::time_point(std::chrono::seconds(1767225600));
  const ExportResult result = RunExport(export_state, export_ui, data, now);
  ASSERT_EQ(result.result, RunResult::Completed);
  ExpectGolden(WithoutExportDate(test::ReadFile(result.output)), "ResultadoClepsaies_exemple.xml");
  ExpectGoldenReport(result.report, "informe-exportacion");
  ExpectGolden(test::DbfAsText(test::ReadFile(data / "DIASHORAST.DBF")),
               "DIASHORAST-exportacion.txt");
}

}  // namespace
}  // namespace tc
