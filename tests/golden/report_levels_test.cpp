// The sample school as a head of studies would try it: a teacher and a room removed from the
// document, the answer "Sí" to the multi-template question, and the export's page as a real
// browser draws it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "base/codepage.h"
#include "report/render.h"
#include "run/conversion_run.h"
#include "run/export_run.h"
#include "support/process.h"
#include "support/scripted_interaction.h"
#include "support/test_support.h"

namespace tc {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";

// The sample without the elements whose line holds `marker`.
std::string Without(std::string xml, const std::string& marker) {
  const std::size_t at = xml.find(marker);
  if (at == std::string::npos) return xml;
  const std::size_t start = xml.rfind('\n', at) + 1;
  return xml.erase(start, xml.find('\n', at) + 1 - start);
}

std::string Level(const report::Report& report, report::Level level) {
  std::string out;
  const report::LevelLines levels = report::RenderLevels(report);
  for (const std::string& line : levels[static_cast<std::size_t>(level)]) {
    out += Cp1252ToUtf8(line) + "\n";
  }
  return out;
}

ConversionResult Convert(const fs::path& xml, const fs::path& data, bool all_templates) {
  RunState state;
  test::ScriptedInteraction ui;
  ui.file = xml;
  ui.answers = {{Question::ImportAllTemplates, all_templates},
                {Question::RemoveIdleGroupsAndTeachers, true}};
  return RunConversion(state, ui, data);
}

TEST(ReportLevels, ATeacherAndARoomMissingFromTheDocument) {
  test::TempDir dir;
  fs::create_directory(dir / "ZTEMP");
  std::string xml = Without(test::ReadFile(kSample), "documento=\"56932487N\"");
  xml = Without(xml, "<aula codigo=\"A105\"");
  test::WriteFile(dir / "centro.xml", xml);
  const ConversionResult result = Convert(dir / "centro.xml", dir / "ZTEMP", false);
  ASSERT_EQ(result.result, RunResult::Completed);
  EXPECT_EQ(Level(result.report, report::Level::Itaca),
            "Docente 56932487N no está entre los docentes del documento: 1r ESO A (1ESOA) "
            "Valencià: Llengua i Literatura (30120102) 4 h y 2n ESO B (2ESOB) Valencià: Llengua i "
            "Literatura (30120202) 4 h quedan sin profesor; 2 h de Guàrdia (231001) y 1 h de "
            "Reunió de departament (231003) de ocupación quedan sin profesor.\n"
            "Aula A105 no está entre las aulas del documento: 2n ESO B (2ESOB) Valencià: Llengua i "
            "Literatura (30120202) 4 h, 2n ESO B (2ESOB) Matemàtiques (30120204) 4 h, 2n ESO B "
            "(2ESOB) Llengua Castellana i Literatura (30120201) 4 h, 2n ESO B (2ESOB) Geografia i "
            "Història (30120205) 3 h, 2n ESO B (2ESOB) Anglés (30120203) 3 h y 2n ESO B (2ESOB) "
            "Tutoria (30120217) 1 h quedan sin aula.\n");
}

TEST(ReportLevels, AllTemplatesLeaveEveryRowIncompleteAndSaySo) {
  test::TempDir dir;
  fs::create_directory(dir / "ZTEMP");
  const ConversionResult result = Convert(kSample, dir / "ZTEMP", true);
  ASSERT_EQ(result.result, RunResult::Completed);
  const std::string clepsa = Level(result.report, report::Level::Clepsa);
  EXPECT_EQ(clepsa.substr(0, clepsa.find('\n') + 1),
            "140 asignaturas de grupo llegan a Clepsa incompletas (140 sin profesor, 140 sin aula "
            "y todas con las 4 h provisionales): se importó con los datos de todas las plantillas, "
            "que no cuentan horas.\n");
  EXPECT_NE(clepsa.find("\nGrupo 1r ESO A (1ESOA), 4 h provisionales sin profesor ni aula cada "
                        "una: Llengua Castellana i Literatura (30120101), Valencià: Llengua i "
                        "Literatura (30120102), "),
            std::string::npos)
      << clepsa;
}

// The export's page in headless Chromium: it loads without a console error and one group's grid
// is kept as a picture (tests/artifacts in the build folder).
TEST(ReportPage, ChromiumDrawsTheExportsGrids) {
#ifdef _WIN32
  GTEST_SKIP() << "the Linux build loads the page in Chromium";  // Wine would find its script
#endif
  const auto chromium = test::FindProgram("chromium");
  if (!chromium) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
  test::TempDir dir;
  fs::create_directory(dir / "ZTEMP");
  fs::copy_file(kSample, dir / "ies_exemple.xml");
  ASSERT_EQ(Convert(dir / "ies_exemple.xml", dir / "ZTEMP", false).result, RunResult::Completed);
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                dir / "ZTEMP" / "SOLUC.DBF");
  RunState state;
  test::ScriptedInteraction ui;
  ui.file = dir / "ies_exemple.xml";
  ui.template_code = "MATI";
  const ExportResult exported = RunExport(state, ui, dir / "ZTEMP");
  ASSERT_EQ(exported.result, RunResult::Completed);
  const std::string page = report::RenderHtml(exported.report);

  // One grid alone for the picture: the page's head and the first group's section.
  const std::size_t grid = page.find("<section class=\"rejilla\"");
  ASSERT_NE(grid, std::string::npos);
  const std::size_t end = page.find("</section>", grid) + 10;
  test::WriteFile(dir / "informe.html", page);
  test::WriteFile(dir / "rejilla.html", page.substr(0, page.find("<body>") + 6) +
                                            page.substr(grid, end - grid) + "</body></html>");
  const fs::path artifacts = fs::path(TC_BINARY_DIR) / "tests" / "artifacts";
  fs::create_directories(artifacts);
  const fs::path picture = artifacts / "informe-rejilla-grupo.png";
  fs::remove(picture);
  auto browse = [&](const fs::path& file, const std::vector<std::string>& what) {
    std::vector<std::string> args = {"--headless", "--no-sandbox", "--disable-gpu",
                                     "--enable-logging=stderr", "--v=0"};
    args.insert(args.end(), what.begin(), what.end());
    args.push_back("file://" + file.string());
    return test::RunProgram(*chromium, {args, {{"HOME", dir.path().string()}}, dir.path()});
  };
  const test::ProgramOutcome dom = browse(dir / "informe.html", {"--dump-dom"});
  ASSERT_EQ(dom.status, 0) << dom.err;
  EXPECT_EQ(dom.err.find("Uncaught"), std::string::npos) << dom.err;
  EXPECT_EQ(dom.err.find("Failed to load"), std::string::npos) << dom.err;
  EXPECT_NE(dom.out.find("id=\"grupo-1ESOA\""), std::string::npos);
  EXPECT_NE(dom.out.find("</html>"), std::string::npos);
  const test::ProgramOutcome shot =
      browse(dir / "rejilla.html", {"--screenshot=" + picture.string(), "--window-size=1100,700"});
  ASSERT_EQ(shot.status, 0) << shot.err;
  ASSERT_TRUE(fs::exists(picture)) << shot.err;
  EXPECT_GT(fs::file_size(picture), 10000u);
}

}  // namespace
}  // namespace tc
