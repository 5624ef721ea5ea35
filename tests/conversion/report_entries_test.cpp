// What the conversion's report says, reason by reason: a small document that triggers each rule
// and the exact entries the stages record for it, no more.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "conversion/conversion.h"
#include "conversion/stage_rows.h"
#include "conversion/stages.h"
#include "report/render.h"
#include "report/report.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using Entries = std::vector<std::string>;

// Every entry, in the order recorded, as "reason | text" in UTF-8.
Entries Lines(const report::Report& report) {
  Entries lines;
  for (std::size_t i = 0; i < report.Size(); ++i) {
    const report::Entry entry = report.At(i);
    lines.push_back(std::string(report::ReasonName(entry.reason())) + " | " +
                    Cp1252ToUtf8(report::RenderEntry(entry)));
  }
  return lines;
}

// The whole conversion of a document (template P1, only its data, idle rows removed).
Entries Convert(std::string_view xml) {
  test::ConversionRun run(xml);
  run.state.SelectedTemplateCode = "P1";
  run.ui.answers = {{Question::ImportAllTemplates, false},
                    {Question::RemoveIdleGroupsAndTeachers, true}};
  report::Report report;
  ConvertDocument(run.document, run.state, run.ui, run.tables, &report);
  return Lines(report);
}

// Every collection of one element is passed over and said once, in the order the stages read
// them; the contents, which two stages read, once.
TEST(ConversionReport, EachListOfOneIsSaidOnce) {
  EXPECT_EQ(Convert(R"(<centro>
<docentes><docente/></docentes>
<ensenanzas><ensenanza/></ensenanzas>
<cursos><curso/></cursos>
<cursos_grupo><curso_grupo/></cursos_grupo>
<grupos><grupo/></grupos>
<contenidos><contenido/></contenidos>
<ocupaciones><ocupacion/></ocupaciones>
<aulas><aula/></aulas>
<horarios_grupo><horario_grupo/></horarios_grupo>
</centro>)"),
            (Entries{"lista_de_un_elemento | /centro/docentes/docente[1], línea 2",
                     "lista_de_un_elemento | /centro/ensenanzas/ensenanza[1], línea 3",
                     "lista_de_un_elemento | /centro/cursos/curso[1], línea 4",
                     "lista_de_un_elemento | /centro/cursos_grupo/curso_grupo[1], línea 5",
                     "lista_de_un_elemento | /centro/grupos/grupo[1], línea 6",
                     "lista_de_un_elemento | /centro/contenidos/contenido[1], línea 7",
                     "lista_de_un_elemento | /centro/ocupaciones/ocupacion[1], línea 8",
                     "lista_de_un_elemento | /centro/aulas/aula[1], línea 9",
                     "lista_de_un_elemento | /centro/horarios_grupo/horario_grupo[1], línea 10"}));
}

TEST(ConversionReport, TeachersInitialsTakenAreNumbered) {
  EXPECT_EQ(Convert(R"(<centro><docentes>
<docente apellido1="García" apellido2="Martínez" nombre="Joan" tipo_docente="I" documento="11111111H" ensenanza="E" email1="a@b"/>
<docente apellido1="Gil" apellido2="Mas" nombre="Júlia" tipo_docente="I" documento="22222222J" ensenanza="E" email1="a@b"/>
</docentes></centro>)"),
            (Entries{"codigo_numerado | /centro/docentes/docente[2], línea 3: GMJ -> GMJ1; "
                     "documento=22222222J nombre=\"Gil Mas, Júlia\""}));
}

TEST(ConversionReport, GroupCodesRepeatedAreNumberedAndTooLongAreShortened) {
  EXPECT_EQ(Convert(R"(<centro><grupos>
<grupo codigo="1ESOA" nombre="1r A" turno="M" ensenanza="E" tutor_ppal="X"/>
<grupo codigo="1ESOA" nombre="1r A bis" turno="M" ensenanza="E" tutor_ppal="X"/>
<grupo codigo="BATXILLERAT1A" nombre="Batx" turno="M" ensenanza="E" tutor_ppal="X"/>
</grupos></centro>)"),
            (Entries{"codigo_numerado | /centro/grupos/grupo[2], línea 3: 1ESOA -> 1ESOA1; "
                     "nombre=\"1r A bis\"",
                     "codigo_acortado | /centro/grupos/grupo[3], línea 4: BATXILLERAT1A -> "
                     "BATXILLE1A; nombre=Batx"}));
}

TEST(ConversionReport, RoomsNumberedNamedByTheirNameOrShortened) {
  EXPECT_EQ(Convert(R"(<centro><aulas>
<aula codigo="A1" nombre="Aula 1"/>
<aula codigo="a1" nombre="Aula 2"/>
<aula codigo="" nombre="Laboratori de Física"/>
<aula codigo="ABCDEFGHIJKL" nombre="Dotze"/>
</aulas></centro>)"),
            (Entries{"codigo_numerado | /centro/aulas/aula[2], línea 3: a1 -> a11; "
                     "nombre=\"Aula 2\"",
                     "aula_sin_codigo | /centro/aulas/aula[3], línea 4: \"\" -> Labo; "
                     "nombre=\"Laboratori de Física\"",
                     "codigo_acortado | /centro/aulas/aula[4], línea 5: ABCDEFGHIJKL -> "
                     "ABCDEFGH1; nombre=Dotze"}));
}

TEST(ConversionReport, SubjectsShortenedOrWithoutARowAndContentsWithoutSubjectOrGroups) {
  EXPECT_EQ(Convert(R"(<centro><contenidos>
<contenido codigo="ABCDEFGHIJK" curso="C1" nombre_val="Matemàtiques"/>
<contenido codigo="ABCDEFGHJK" curso="C1" nombre_val="Física"/>
</contenidos></centro>)"),
            (Entries{"codigo_acortado | /centro/contenidos/contenido[1], línea 2: ABCDEFGHIJK -> "
                     "ABCDEFGHJK; curso=C1 nombre=Matemàtiques",
                     "asignatura_sin_fila | /centro/contenidos/contenido[2], línea 3: "
                     "contenido=ABCDEFGHJK curso=C1 COD=ABCDEFGHJK nombre=Física",
                     "contenido_sin_grupos | /centro/contenidos/contenido[1], línea 2: "
                     "contenido=ABCDEFGHIJK curso=C1",
                     "contenido_sin_asignatura | /centro/contenidos/contenido[2], línea 3: "
                     "contenido=ABCDEFGHJK curso=C1"}));
}

TEST(ConversionReport, DutiesLetteredOrWithoutARowWhenTheirNameIsTaken) {
  EXPECT_EQ(Convert(R"(<centro><ocupaciones>
<ocupacion codigo="G567" nombre_val="Biblioteca"/>
<ocupacion codigo="H567" nombre_val="Direcció"/>
<ocupacion codigo="X100" nombre_val="Biblioteca"/>
</ocupaciones></centro>)"),
            (Entries{"codigo_con_letra | /centro/ocupaciones/ocupacion[2], línea 3: *567 -> *56A; "
                     "ocupacion=H567 nombre=Direcció",
                     "ocupacion_sin_fila | /centro/ocupaciones/ocupacion[3], línea 4: "
                     "ocupacion=X100 nombre=Biblioteca"}));
}

TEST(ConversionReport, CollectionsOfOneElementOnceEachAndCoursesSkipped) {
  EXPECT_EQ(Convert(R"(<centro><docentes>
<docente apellido1="A" apellido2="B" nombre="C" tipo_docente="I" documento="1" ensenanza="E" email1="a"/>
</docentes><cursos>
<curso codigo="C1" padre="" abreviatura="1ESO" ensenanza="E"/>
<curso codigo="B1" padre="" abreviatura="BAT" ensenanza="E"/>
</cursos><ensenanzas>
<ensenanza ensenanza="E" abreviatura="ESO"/>
</ensenanzas><contenidos>
<contenido codigo="M1" curso="C1" nombre_val="M"/>
</contenidos><aulas>
<aula codigo="A1" nombre="Aula 1"/>
</aulas></centro>)"),
            (Entries{"lista_de_un_elemento | /centro/docentes/docente[1], línea 2",
                     "lista_de_un_elemento | /centro/ensenanzas/ensenanza[1], línea 7",
                     "curso_omitido | /centro/cursos/curso[2], línea 5: codigo=B1 abreviatura=BAT",
                     "lista_de_un_elemento | /centro/contenidos/contenido[1], línea 9",
                     "lista_de_un_elemento | /centro/aulas/aula[1], línea 11"}));
}

// Two teachers, two courses with a group each, a content per course, two rooms, two duties; the
// lessons and duty periods of template P1 (and one of P2) below.
constexpr std::string_view kSchool = R"(<centro><docentes>
<docente apellido1="Garcia" apellido2="Marti" nombre="Joan" tipo_docente="I" documento="D1" ensenanza="E" email1="a"/>
<docente apellido1="Llopis" apellido2="Ruiz" nombre="Anna" tipo_docente="I" documento="D2" ensenanza="E" email1="a"/>
</docentes><cursos>
<curso codigo="C1" padre="" abreviatura="1ESO" ensenanza="E"/>
<curso codigo="C2" padre="" abreviatura="2ESO" ensenanza="E"/>
</cursos><cursos_grupo>
<curso_grupo grupo="G1" curso="C1"/>
<curso_grupo grupo="G2" curso="C2"/>
</cursos_grupo><grupos>
<grupo codigo="G1" nombre="1r A" turno="M" ensenanza="E" tutor_ppal="D1"/>
<grupo codigo="G2" nombre="2n A" turno="M" ensenanza="E" tutor_ppal="D2"/>
</grupos><contenidos>
<contenido codigo="M1" curso="C1" nombre_val="Matemàtiques"/>
<contenido codigo="V2" curso="C2" nombre_val="Valencià"/>
</contenidos><ocupaciones>
<ocupacion codigo="O1" nombre_val="Guàrdia"/>
<ocupacion codigo="O2" nombre_val="Biblioteca"/>
</ocupaciones><aulas>
<aula codigo="R1" nombre="Aula 1"/>
<aula codigo="R2" nombre="Aula 2"/>
</aulas><horarios_grupo>
<horario_grupo plantilla="P1" grupo="G1" curso="C1" contenido="M1" docente="D1" aula="R1"/>
<horario_grupo plantilla="P2" grupo="G2" curso="C2" contenido="V2" docente="D2" aula="R2"/>
<horario_grupo plantilla="P1" grupo="G9" curso="C1" contenido="M1" docente="D1" aula="R1"/>
<horario_grupo plantilla="P1" grupo="G1" curso="C1" contenido="M1" docente="D9" aula="R9"/>
</horarios_grupo><horarios_ocupaciones>
<horario_ocupacion ocupacion="O1" docente="D1" plantilla="P1"/>
<horario_ocupacion ocupacion="O9" docente="D1" plantilla="P1"/>
<horario_ocupacion ocupacion="O1" docente="D9" plantilla="P1"/>
<horario_ocupacion ocupacion="O1" docente="D2" plantilla="P2"/>
</horarios_ocupaciones></centro>)";

TEST(ConversionReport, LessonsAndDutyPeriodsLeftOutOrCountedIncompleteAndRowsDeleted) {
  EXPECT_EQ(Convert(kSchool),
            (Entries{
                "otra_plantilla | /centro/horarios_grupo/horario_grupo[2], línea 24: plantilla=P2",
                "sesion_sin_asignacion | /centro/horarios_grupo/horario_grupo[3], línea 25: "
                "grupo=G9 curso=C1 contenido=M1 docente=D1 aula=R1",
                "docente_no_encontrado | /centro/horarios_grupo/horario_grupo[4], línea 26: "
                "grupo=G1 curso=C1 contenido=M1 docente=D9 aula=R9",
                "aula_no_encontrada | /centro/horarios_grupo/horario_grupo[4], línea 26: "
                "grupo=G1 curso=C1 contenido=M1 docente=D9 aula=R9",
                "asignacion_sin_sesiones | ASIGT registro 2: CLAVE=G2 CLAVECURSO=C2 "
                "ASIG_ITACA=V2 CGRUP=G2 CASIG=V2",
                "ocupacion_no_encontrada | /centro/horarios_ocupaciones/horario_ocupacion[2], "
                "línea 29: ocupacion=O9 docente=D1 plantilla=P1",
                "docente_no_encontrado | /centro/horarios_ocupaciones/horario_ocupacion[3], "
                "línea 30: ocupacion=O1 docente=D9 plantilla=P1",
                "otra_plantilla | /centro/horarios_ocupaciones/horario_ocupacion[4], línea 31: "
                "plantilla=P2",
                "grupo_sin_clases | GRUPOST registro 2: ABREV=G2 CLAVE=G2 DESCRIP=\"2n A\"",
                "profesor_sin_clases | PROFT registro 2: ABREV=LRA DNI=D2 "
                "NOMBRE=\"Llopis Ruiz, Anna\""}));
}

// Every template taken: no lesson is of another template and nothing is pruned; idle rows kept:
// nothing is pruned.
TEST(ConversionReport, AllTemplatesOrIdleRowsKeptRecordNoneOfThose) {
  test::ConversionRun run(kSchool);
  run.state.SelectedTemplateCode = "P1";
  run.ui.answers = {{Question::ImportAllTemplates, true}};
  report::Report report;
  ConvertDocument(run.document, run.state, run.ui, run.tables, &report);
  EXPECT_EQ(Lines(report),
            (Entries{"ocupacion_no_encontrada | /centro/horarios_ocupaciones/horario_ocupacion[2], "
                     "línea 29: ocupacion=O9 docente=D1 plantilla=P1",
                     "docente_no_encontrado | /centro/horarios_ocupaciones/horario_ocupacion[3], "
                     "línea 30: ocupacion=O1 docente=D9 plantilla=P1"}));

  test::ConversionRun kept(kSchool);
  kept.state.SelectedTemplateCode = "P1";
  ConvertDocument(kept.document, kept.state, kept.ui, kept.tables, &report);
  for (const std::string& line : Lines(report)) {
    EXPECT_EQ(line.find("sin_clases"), std::string::npos) << line;
  }
  EXPECT_EQ(report.Count(report::Reason::PairingWithoutLessons), 1u);
}

// The report's timetable of ITACA is the template's lessons as the document holds them, whether
// taken from the stage that read them or read for the report (every template taken; a list of
// one lesson, which the stage passes over).
TEST(ConversionReport, ItacasOwnTimetableIsTheTemplatesLessonsAsTheDocumentHoldsThem) {
  std::string school(kSchool);
  school.insert(school.find("plantilla=\"P1\" grupo=\"G1\""),
                "dia_semana=\"X\" sesion_orden=\"3\" ");
  std::string one_lesson = school;
  const std::size_t second = one_lesson.find("<horario_grupo plantilla=\"P2\"");
  one_lesson.erase(second, one_lesson.find("</horarios_grupo>") - second);
  auto shown = [](const report::Lessons& lessons) {
    Entries lines;
    for (const report::Lesson& l : lessons) {
      lines.push_back(std::to_string(l.day) + " " + l.period + " " + l.group + " " + l.subject +
                      " " + l.teacher + " " + l.room + (l.duty ? " guardia" : ""));
    }
    return lines;
  };
  for (const auto& [xml, all_templates] :
       {std::pair{school, false}, std::pair{school, true}, std::pair{one_lesson, false}}) {
    test::ConversionRun run(xml);
    run.state.SelectedTemplateCode = "P1";
    run.ui.answers = {{Question::ImportAllTemplates, all_templates}};
    report::Report report;
    ConvertDocument(run.document, run.state, run.ui, run.tables, &report);
    const Entries lines = shown(report.timetables().itaca);
    EXPECT_EQ(lines, shown(TemplateTimetable(run.document, "P1")));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "3 3 G1 M1 D1 R1");
    EXPECT_EQ(lines.back(), "0   O1 D9  guardia");
  }
}

TEST(ConversionReport, AFurtherTeachersLessonWhoseGroupIsNotInGrupostIsNotCounted) {
  test::ConversionRun run(R"(<centro><horarios_grupo>
<horario_grupo plantilla="P1" grupo="G2" curso="C1" contenido="M1" docente="DA" aula="R1"/>
<horario_grupo plantilla="P1" grupo="G2" curso="C1" contenido="M1" docente="DB" aula="R1"/>
</horarios_grupo></centro>)");
  test::FillTable(run.tables, store::GrupostTable(), {{"ABREV"}, {"1A"}});
  test::FillTable(run.tables, store::ProftTable(), {{"ABREV", "DNI"}, {"PA", "DA"}, {"PB", "DB"}});
  test::FillTable(run.tables, store::AulatTable(), {{"ABREV", "ABREV_ITACA"}, {"AU1", "R1"}});
  test::FillTable(
      run.tables, store::AsigtTable(),
      {{"CASIG", "CGRUP", "CLAVE", "CLAVECURSO", "ASIG_ITACA"}, {"MAT", "2B", "G2", "C1", "M1"}});
  run.state.SelectedTemplateCode = "P1";
  ImportGroupTimetables(run.ctx);
  EXPECT_EQ(Lines(run.ctx.report),
            (Entries{"sesion_sin_grupo | /centro/horarios_grupo/horario_grupo[2], línea 3: "
                     "CGRUP=2B grupo=G2 curso=C1 contenido=M1 docente=DB aula=R1"}));
}

}  // namespace
}  // namespace tc
