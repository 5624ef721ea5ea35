// Lessons of the chosen template counted into ASIGT: hours, teacher and room per pairing, a row
// per further teacher, pairings without lessons removed.
#include <gtest/gtest.h>

#include <sstream>

#include "conversion/stage_rows.h"
#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::Dump;
using test::FillTable;
using test::Lines;

const Lines kAll = {"CASIG", "CPROF",    "CGRUP",  "CAULA", "TURNO",      "NIVEL",  "CURSO",
                    "GRUPO", "HORAS",    "SESIONES", "NCONEX", "CLAVE", "CLAVECURSO", "CTAREA",
                    "ASIG_ITACA"};

// A run whose document holds these lessons, each "plantilla grupo curso contenido docente aula"
// ("-" leaves the attribute out).
// What the earlier stages left: group 1A (G1), teachers PA (DA) and PB (DB), rooms AU1 (R1) and
// AU2 (R2), the pairings of G1 with M1 and L1, and one of G2 whose group GRUPOST lacks.
struct GroupRun : test::ConversionRun {
  explicit GroupRun(const Lines& lessons) : ConversionRun(Xml(lessons)) {
    FillTable(tables, store::GrupostTable(),
              {{"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO"}, {"1A", "M", "ESO", "1", "A"}});
    FillTable(tables, store::ProftTable(), {{"ABREV", "DNI"}, {"PA", "DA"}, {"PB", "DB"}});
    FillTable(tables, store::AulatTable(),
              {{"ABREV", "ABREV_ITACA"}, {"AU1", "R1"}, {"AU2", "R2"}});
    FillTable(tables, store::AsigtTable(),
              {{"CASIG", "CGRUP", "CURSO", "HORAS", "SESIONES", "CLAVE", "CLAVECURSO", "CTAREA",
                "ASIG_ITACA"},
               {"MAT", "1A", "1", "4", "1111", "G1", "C1", "*479", "M1"},
               {"LEN", "1A", "1", "4", "1111", "G1", "C1", "*479", "L1"},
               {"MAT", "2B", "2", "4", "1111", "G2", "C1", "*479", "M1"}});
    state.SelectedTemplateCode = "P1";
  }
  static std::string Xml(const Lines& lessons) {
    std::string xml = "<centro><horarios_grupo>";
    for (const auto& lesson : lessons) {
      std::istringstream words(lesson);
      xml += "<horario_grupo";
      for (const char* name : {"plantilla", "grupo", "curso", "contenido", "docente", "aula"}) {
        std::string word;
        words >> word;
        if (word != "-") xml += std::string(" ") + name + "=\"" + word + "\"";
      }
      xml += "/>";
    }
    return xml + "</horarios_grupo></centro>";
  }
};

TEST(GroupTimetables, NoLessonsAsksNothingAndTouchesNoTable) {
  test::ConversionRun run("<centro><horarios_grupo/></centro>");
  EXPECT_EQ(ImportGroupTimetables(run.ctx), TemplatesTaken::All);  // the folder holds no table
  EXPECT_TRUE(run.ui.questions.empty());
}

TEST(GroupTimetables, YesKeepsAsigtAsWritten) {
  GroupRun run({"P1 G1 C1 M1 DA R1", "P1 G1 C1 M1 DA R1"});
  const Lines before = Dump(run.tables, "ASIGT", kAll);
  run.ui.answers[Question::ImportAllTemplates] = true;
  EXPECT_EQ(ImportGroupTimetables(run.ctx), TemplatesTaken::All);
  const std::string rule(88, '-');
  EXPECT_EQ(run.ui.questions, std::vector<Question>{Question::ImportAllTemplates});
  EXPECT_EQ(QuestionText(Question::ImportAllTemplates),
            test::W(
                "       !!! I M P O R T A N T E !!!  ¿Importar Datos de todas las Plantillas?\r\n"
                "       " + std::string(39, '=') + "    \r\n"
                "Se han encontrado Datos que pueden pertenecer a varias Plantillas Horarias.\r\n"
                "RECOMENDAMOS IMPORTAR SOLAMENTE LOS DATOS PERTENECIENTES A UNA SOLA PLANTILLA.\r\n"
                "Si quiere Importar los Datos de todas las Plantillas Pulse el Botón \"Sí\".\r\n"
                "Para Importar solo los Datos de la Plantilla seleccionada,Pulse el Botón \"No\".\r\n" +
                rule +
                "\r\n(RECOMENDAMOS Pulsar \"No\", y trabajar solo con datos de una Plantilla.)\r\n" +
                rule));
  EXPECT_EQ(Dump(run.tables, "ASIGT", kAll), before);
  EXPECT_EQ(before[0], "MAT||1A||||1||4|1111||G1|C1|*479|M1");
}

TEST(GroupTimetables, OneLessonIsPassedOverAndEveryPairingGoes) {
  GroupRun run({"P1 G1 C1 M1 DA R1"});
  EXPECT_EQ(ImportGroupTimetables(run.ctx), TemplatesTaken::OnlySelected);
  EXPECT_EQ(run.ui.questions.size(), 1u);
  EXPECT_EQ(Dump(run.tables, "ASIGT", {"CASIG"}), Lines{});
}

TEST(GroupTimetables, FirstTeacherKeepsThePairingRowAndTheNextGetsANewOne) {
  // A's first room is unknown and A's later room does not replace the first known one; lessons of
  // another template (P2, p1) or without a pairing (G9) count for nothing; L1 and G2 go.
  GroupRun run({"P1 G1 C1 M1 DA R9", "P1 G1 C1 M1 DA R1", "P1 G1 C1 M1 DB R2", "P1 G1 C1 M1 DA R2",
           "P2 G1 C1 L1 DA R1", "P1 G9 C1 M1 DA R1", "p1 G1 C1 M1 DA R1"});
  ImportGroupTimetables(run.ctx);
  EXPECT_EQ(Dump(run.tables, "ASIGT", kAll),
            (Lines{"MAT|PA|1A|AU1|||1||3|1111||G1|C1|*479|M1",
                                                "MAT|PB|1A|AU2|M|ESO|1|A|1|1111||G1|C1|*479|M1"}));
}

TEST(GroupTimetables, SecondTeacherFirstUnknownTeacherAndMissingGroup) {
  // M1: B before A. L1: an unknown teacher first keeps CPROF blank, so A gets a row of its own
  // and a second unknown teacher counts on the blank row. G2: its group is not in GRUPOST, so a
  // second teacher is not counted anywhere.
  GroupRun run({"P1 G1 C1 M1 DB R1", "P1 G1 C1 L1 DX R1", "P1 G1 C1 M1 DA R2", "P1 G1 C1 L1 DA R1",
                "P1 G1 C1 M1 DA R1", "P1 G1 C1 L1 DY R2", "P1 G2 C1 M1 DA R1", "P1 G2 C1 M1 DB R1"});
  ImportGroupTimetables(run.ctx);
  EXPECT_EQ(Dump(run.tables, "ASIGT", {"CASIG", "ASIG_ITACA", "CPROF", "CGRUP", "CAULA", "HORAS"}),
            (Lines{"MAT|M1|PB|1A|AU1|1", "LEN|L1||1A|AU1|2", "MAT|M1|PA|2B|AU1|1",
                   "MAT|M1|PA|1A|AU2|2", "LEN|L1|PA|1A|AU1|1"}));
}

TEST(GroupTimetables, ALessonWithoutItsGroupEndsTheStageAfterWhatCameBeforeIt) {
  // Read beside the earlier stages or in turn: the lesson of another template before it is
  // recorded, the one after it is not, and ASIGT is as it was.
  for (const bool beside : {true, false}) {
    GroupRun run(
        {"P2 G1 C1 M1 DA R1", "P1 G1 C1 M1 DA R1", "P1 - C1 L1 DA R1", "P2 G1 C1 L1 DA R1"});
    const Lines before = Dump(run.tables, "ASIGT", kAll);
    if (beside) ReadGroupLessonsBeside(run.ctx);
    try {
      ImportGroupTimetables(run.ctx);
      ADD_FAILURE() << "a lesson without grupo must stop the stage";
    } catch (const DocumentError& error) {
      EXPECT_STREQ(error.what(),
                   "Falta el atributo \"grupo\" en /centro/horarios_grupo/horario_grupo "
                   "(elemento 3, l\xEDnea 1) de prueba.xml");
    }
    EXPECT_EQ(run.ctx.report.Count(report::Reason::OtherTemplate), 1u) << beside;
    EXPECT_EQ(Dump(run.tables, "ASIGT", kAll), before);
  }
}

}  // namespace
}  // namespace tc
