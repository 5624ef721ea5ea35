// What the export's report says: every SOLUC record left out, and every class written without
// its teacher or room, with the reason and the record's codes; what was read and written.
#include <algorithm>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string_view>

#include "base/codepage.h"
#include "export/export_fixture.h"
#include "platform/platform.h"
#include "report/render.h"
#include "run/report_file.h"

namespace tc::test {
namespace {

std::vector<std::string> Lines(const report::Report& report) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < report.Size(); ++i) {
    const report::Entry entry = report.At(i);
    lines.push_back(std::string(report::ReasonName(entry.reason())) + " | " +
                    Cp1252ToUtf8(report::RenderEntry(entry)));
  }
  return lines;
}

// Records of one lesson are counted together under the code they are about, in the order met.
TEST_F(ExportTest, FirstLinesCountALessonsRecordsTogetherUnderEachCode) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "B7"},
         {"MAT", "*479", 1, 2, "0", "1A", "PGA", "B8"},
         {"MAT", "*479", 1, 3, "0", "1A", "NOP", "B7"},
         {"MAT", "*479", 2, 1, "0", "1A", "PGA", "B7"}});
  const report::LevelLines levels = report::RenderLevels(Run().report);
  std::vector<std::string> rooms;
  for (const std::string& line : levels[1]) {
    if (line.starts_with("Aula")) rooms.push_back(Cp1252ToUtf8(line));
  }
  EXPECT_EQ(rooms, (std::vector<std::string>{
                       "Aula B7 no está en AULAT: 1A MAT con PGA 2 h y 1A MAT con NOP 1 h se "
                       "escriben sin aula.",
                       "Aula B8 no está en AULAT: 1A MAT con PGA 1 h se escriben sin aula."}));
}

TEST_F(ExportTest, ReportNamesEveryRecordLeftOutOrWrittenIncomplete) {
  Soluc({{"MAT", "*479", 0, 1, "0", "1A", "PGA", "A1"},  // not placed
         {"MAT", "*479", 1, 1, "0", "9Z", "PGA", "A1"},  // unknown group
         {"XXX", "*479", 1, 1, "0", "1A", "PGA", "A1"},  // unknown subject
         {"MAT", "*479", 1, 9, "0", "1A", "PGA", "A1"},  // no ninth hour
         {"MAT", "*479", 1, 1, "0", "1A", "NOP", "B7"},  // written without teacher and room
         {"MAT", "*479", 1, 2, "0", "1A", "", ""},       // no teacher or room: nothing to say
         {"ZZZ", "ZZZ", 1, 1, "0", "", "PGA", ""},       // unknown duty
         {"GUA", "GUA", 1, 1, "0", "", "NOP", ""},       // duty of an unknown teacher
         {"GUA", "GUA", 2, 0, "0", "", "PGA", ""},       // not placed
         {"GUA", "GUA", 1, 1, "1", "", "PGA", ""},       // another frame: no slot
         {"GUA", "GUA", 1, 1, "0", "", "PGA", ""}});
  const ExportResult result = Run();
  EXPECT_EQ(Lines(result.report),
            (std::vector<std::string>{
                "sin_colocar | SOLUC registro 1: DIA=0 HORA=1 MARCO=0 CODGRUPO=1A ASIG=MAT "
                "PROF=PGA AULA=A1",
                "grupo_desconocido | SOLUC registro 2: DIA=1 HORA=1 MARCO=0 CODGRUPO=9Z ASIG=MAT "
                "PROF=PGA AULA=A1",
                "asignatura_desconocida | SOLUC registro 3: DIA=1 HORA=1 MARCO=0 CODGRUPO=1A "
                "ASIG=XXX PROF=PGA AULA=A1",
                "tramo_desconocido | SOLUC registro 4: DIA=1 HORA=9 MARCO=0 CODGRUPO=1A ASIG=MAT "
                "PROF=PGA AULA=A1",
                "profesor_desconocido | SOLUC registro 5: DIA=1 HORA=1 MARCO=0 CODGRUPO=1A "
                "ASIG=MAT PROF=NOP AULA=B7",
                "aula_desconocida | SOLUC registro 5: DIA=1 HORA=1 MARCO=0 CODGRUPO=1A ASIG=MAT "
                "PROF=NOP AULA=B7",
                "ocupacion_desconocida | SOLUC registro 7: DIA=1 HORA=1 MARCO=0 ASIG=ZZZ PROF=PGA",
                "profesor_de_ocupacion_desconocido | SOLUC registro 8: DIA=1 HORA=1 MARCO=0 "
                "ASIG=GUA PROF=NOP",
                "sin_colocar | SOLUC registro 9: DIA=2 HORA=0 MARCO=0 ASIG=GUA PROF=PGA",
                "tramo_desconocido | SOLUC registro 10: DIA=1 HORA=1 MARCO=1 ASIG=GUA PROF=PGA"}));
  EXPECT_EQ(result.group_lessons, 2u);
  EXPECT_EQ(result.duty_periods, 1u);

  const report::Report& report = result.report;
  EXPECT_EQ(report.kind(), report::Report::Kind::Export);
  ASSERT_EQ(report.read().size(), 1u);
  EXPECT_EQ(report.read()[0].name, "SOLUC");
  EXPECT_EQ(report.read()[0].count, 11u);
  ASSERT_EQ(report.elements().size(), 2u);
  EXPECT_EQ(report.elements()[0].name, "horario_grupo");
  EXPECT_EQ(report.elements()[0].count, 2u);
  EXPECT_EQ(report.elements()[1].name, "horario_ocupacion");
  EXPECT_EQ(report.elements()[1].count, 1u);
  ASSERT_EQ(report.tables().size(), 1u);
  EXPECT_EQ(report.tables()[0].name, "DIASHORAST");
  EXPECT_EQ(report.tables()[0].count, 21u);
  EXPECT_EQ(report.header().template_code, "T1");
  EXPECT_EQ(report.header().school_year, "2023");
  EXPECT_EQ(report.header().output, platform::PathText(output));
  EXPECT_EQ(report.header().folder, platform::PathText(ztemp));

  // The first lines: the same records by what went wrong, in names, and the verification.
  const report::LevelLines levels = report::RenderLevels(report);
  std::string clepsa;
  for (const std::string& line : levels[1]) clepsa += Cp1252ToUtf8(line) + "\n";
  EXPECT_EQ(
      clepsa,
      "Clepsa no ha colocado: 1A MAT con PGA 1 h.\n"
      "Clepsa no ha colocado: GUA de PGA 1 h.\n"
      "Grupo 9Z no está en GRUPOST: 9Z MAT con PGA 1 h no se escriben.\n"
      "Asignatura XXX no está en ASIGNOMT: 1A XXX con PGA 1 h no se escriben.\n"
      "Ocupación ZZZ no está en ASIGNOMT: ZZZ de PGA 1 h no se escriben.\n"
      "Profesor NOP no está en PROFT: GUA de NOP 1 h de ocupación no se escriben.\n"
      "Hora 9 sin tramo en la plantilla: 1A MAT con PGA 1 h no se escriben.\n"
      "Hora 1 sin tramo en la plantilla: GUA de PGA 1 h no se escriben.\n"
      "Profesor NOP no está en PROFT: 1A MAT con NOP 1 h se escriben sin docente.\n"
      "Aula B7 no está en AULAT: 1A MAT con NOP 1 h se escriben sin aula.\n"
      "El documento escrito no tiene las horas del documento de ITACA en la plantilla:\n"
      "Grupo G1A (0 h en ITACA, 2 h escritas): MAT-IT sin profesor 0 h en ITACA y 2 h escritas.\n"
      "Docente 12345678Z (0 h en ITACA, 1 h escritas): GUARDIA1 0 h en ITACA y 1 h escritas.\n"
      "Clepsa no ha colocado las horas que pide ASIGT:\n"
      "Grupo 1A (0 h pedidas, 4 h colocadas): MAT sin profesor 0 h pedidas y 1 h colocadas, MAT "
      "con NOP 0 h pedidas y 1 h colocadas, MAT con PGA 0 h pedidas y 1 h colocadas y XXX con PGA "
      "0 h pedidas y 1 h colocadas.\n"
      "Grupo 9Z (0 h pedidas, 1 h colocadas): MAT con PGA 0 h pedidas y 1 h colocadas.\n"
      "Docente NOP (0 h pedidas, 2 h colocadas): GUA 0 h pedidas y 1 h colocadas.\n"
      "Docente PGA (0 h pedidas, 6 h colocadas): GUA 0 h pedidas y 2 h colocadas y ZZZ 0 h pedidas "
      "y 1 h colocadas.\n"
      "Clases escritas sin docente: G1A MAT-IT 2 h.\n"
      "Clases escritas sin aula: G1A MAT-IT 2 h.\n");
}

// What is written goes into the report's timetable in ITACA's codes: a teacher or a room the
// tables do not know is written empty, and a duty period has neither group nor room.
TEST_F(ExportTest, TheLessonsWrittenGoIntoTheReportInItacasCodes) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "NOP", "B7"},
         {"GUA", "GUA", 2, 1, "0", "", "PGA", ""},
         {"MAT", "*479", 1, 2, "0", "1A", "PGA", "A1"}});
  const ExportResult result = Run();
  std::vector<std::string> written;
  for (const report::Lesson& l : result.report.timetables().written) {
    written.push_back(std::to_string(l.day) + " " + l.period + " " + l.group + " " + l.subject +
                      " " + l.teacher + " " + l.room + (l.duty ? " ocupacion" : "") +
                      (l.left_out ? " fuera" : ""));
  }
  EXPECT_EQ(written,
            (std::vector<std::string>{"1 1 G1A MAT-IT  ", "2 1  GUARDIA1 12345678Z  ocupacion",
                                      "1 2 G1A MAT-IT 12345678Z AULA-1"}));
}

// The records left out stay in the report's timetable in ITACA's codes where the tables know
// them: a placed one is drawn crossed out in its cell, one without day or slot is listed below
// the grids of its group, teacher and room.
TEST_F(ExportTest, RecordsLeftOutAreDrawnOrListedBelowTheirGrids) {
  Soluc({{"MAT", "*479", 0, 1, "0", "1A", "PGA", "A1"},  // not placed
         {"MAT", "*479", 1, 9, "0", "1A", "PGA", "A1"},  // no ninth hour
         {"XXX", "*479", 1, 1, "0", "1A", "PGA", "A1"},  // unknown subject, in its slot
         {"GUA", "GUA", 2, 0, "0", "", "PGA", ""},       // duty not placed
         {"MAT", "*479", 1, 2, "0", "1A", "PGA", "A1"}});
  const ExportResult result = Run();
  std::vector<std::string> left_out;
  for (const report::Lesson& l : result.report.timetables().written) {
    if (!l.left_out) continue;
    left_out.push_back(std::to_string(l.day) + " " + l.period + " " + l.group + " " + l.subject +
                       " " + l.teacher + " " + l.room + (l.duty ? " ocupacion" : ""));
  }
  EXPECT_EQ(left_out, (std::vector<std::string>{
                          "0 1 G1A MAT-IT 12345678Z AULA-1", "1 9 G1A MAT-IT 12345678Z AULA-1",
                          "1 1 G1A XXX 12345678Z AULA-1", "2 0  GUARDIA1 12345678Z  ocupacion"}));

  const std::string page = report::RenderHtml(result.report);
  const std::size_t group = page.find("id=\"grupo-G1A\"");
  ASSERT_NE(group, std::string::npos);
  const std::string section = page.substr(group, page.find("</section>", group) - group);
  EXPECT_NE(section.find("<td><p class=\"fuera\" title=\"No se escribe\"><b>XXX</b>"),
            std::string::npos)
      << section;
  const std::string heading = "<div class=\"sin-colocar\"><h4>Sin colocar en la rejilla</h4>";
  const std::size_t list = section.find(heading);
  ASSERT_NE(list, std::string::npos) << section;
  EXPECT_EQ(section.substr(list + heading.size()),
            "<p class=\"fuera\" title=\"No se escribe\"><b>MAT-IT</b><br>12345678Z<br>AULA-1<br>"
            "sin día, hora 1</p><p class=\"fuera\" title=\"No se escribe\"><b>MAT-IT</b><br>"
            "12345678Z<br>AULA-1<br>lunes, hora 9</p></div>\n");
  const std::size_t teacher = page.find("id=\"docente-12345678Z\"");
  ASSERT_NE(teacher, std::string::npos);
  EXPECT_NE(page.find("<b>GUARDIA1</b><br>martes</p></div>", teacher), std::string::npos)
      << page.substr(teacher);
}

// The report files the backup keeps name the template the export was run with, in each form.
TEST_F(ExportTest, BackupReportFilesNameTheChosenTemplate) {
  Soluc({{"MAT", "*479", 1, 1, "0", "1A", "PGA", "A1"}});
  WriteFile(output, "<centro/>");  // an export that replaces a document keeps a backup
  const ExportResult result = Run();
  ASSERT_TRUE(result.backup.has_value());
  const fs::path& kept = result.backup->folder;
  EXPECT_NE(ReadFile(kept / "informe.txt").find("\nPlantilla horaria: T1\nCurso: 2023\n"),
            std::string::npos);
  EXPECT_NE(ReadFile(kept / "informe.json").find("\n  \"plantilla\": \"T1\",\n"),
            std::string::npos);
  EXPECT_NE(ReadFile(kept / "informe.html").find("<br>\nPlantilla horaria: T1<br>\n"),
            std::string::npos);
}

// Each report file waits for the first lines worked out beside (after the verification, beside
// the saving of the document), shows those, and fails with them.
TEST(BackupReportFiles, EachWaitsForTheFirstLinesWorkedOutBesideAndFailsWithThem) {
  report::Report report(report::Report::Kind::Export);
  std::promise<report::LevelLines> verified;
  const std::vector<store::GenerationExtra> files =
      BackupReportFiles(report, verified.get_future().share());
  // The file's rendering, its pieces put together.
  const auto named = [](const std::vector<store::GenerationExtra>& extras, std::string_view name) {
    const auto render =
        std::find_if(extras.begin(), extras.end(), [name](const store::GenerationExtra& extra) {
          return extra.file_name == name;
        })->render;
    return [render] {
      std::string whole;
      render([&whole](std::string piece) { whole += piece; });
      return whole;
    };
  };
  std::future<std::string> text = std::async(std::launch::async, named(files, "informe.txt"));
  EXPECT_EQ(text.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  report.header().template_code = "T9";
  report::LevelLines levels;
  levels[static_cast<std::size_t>(report::Level::Clepsa)] = {"Nadie en dos sitios."};
  verified.set_value(levels);
  const std::string whole = text.get();
  EXPECT_NE(whole.find("\nPlantilla horaria: T9\n"), std::string::npos);
  EXPECT_NE(whole.find("Revise en Clepsa:\n  Nadie en dos sitios.\n"), std::string::npos);

  // The page draws its grids once the verification is done, then waits for the lines.
  std::promise<void> timetables;
  std::promise<report::LevelLines> lines;
  const std::vector<store::GenerationExtra> pages =
      BackupReportFiles(report, lines.get_future().share(), timetables.get_future().share());
  std::future<std::string> page = std::async(std::launch::async, named(pages, "informe.html"));
  EXPECT_EQ(page.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  timetables.set_value();
  EXPECT_EQ(page.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  lines.set_value(levels);
  EXPECT_NE(page.get().find("<li>Nadie en dos sitios.</li>"), std::string::npos);

  std::promise<report::LevelLines> failed;
  const std::vector<store::GenerationExtra> broken =
      BackupReportFiles(report, failed.get_future().share());
  failed.set_exception(std::make_exception_ptr(std::runtime_error("sin memoria")));
  EXPECT_THROW(named(broken, "informe.json")(), std::runtime_error);
}

}  // namespace
}  // namespace tc::test
