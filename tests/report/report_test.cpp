// The report's data and its two renderings: what is recorded reads back as recorded, counts and
// groups follow the reasons' order, and the text and the JSON are exactly as documented.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "report/render.h"
#include "report/report.h"

namespace tc::report {
namespace {

// A report with entries of three reasons recorded out of their reading order.
Report Sample() {
  Report report;
  report.header().document = "centro.xml";
  report.header().folder = "ZTEMP";
  report.header().template_code = "MATI";
  report.header().language = "VALENCI\xC1";
  report.tables() = {{"PROFT", 3}, {"ASIGT", 12}};
  report.Add(Reason::IdleTeacher, Location::OfRecord("PROFT", 4))
      .Code("ABREV", "XYZ")
      .Code("NOMBRE", "P\xE9rez, Ana");
  report.Renamed(Reason::CodeNumbered, Location::OfElement("/centro/aulas/aula", 2, 17), "A1",
                 "A11")
      .Code("nombre", "Aula \"nova\"");
  for (std::size_t position : {5, 6, 7, 9}) {
    report.Add(Reason::OtherTemplate,
               Location::OfElement("/centro/horarios_grupo/horario_grupo", position,
                                   static_cast<int>(position) + 40))
        .Code("plantilla", "VESPRA");
  }
  return report;
}

TEST(Report, ReadsBackWhatWasRecordedAndCountsByReasonAndEffect) {
  const Report report = Sample();
  ASSERT_EQ(report.Size(), 6u);
  const Entry renamed = report.At(1);
  EXPECT_EQ(renamed.reason(), Reason::CodeNumbered);
  EXPECT_TRUE(renamed.Renamed());
  EXPECT_EQ(renamed.OldCode(), "A1");
  EXPECT_EQ(renamed.NewCode(), "A11");
  ASSERT_EQ(renamed.CodeCount(), 1u);
  EXPECT_EQ(renamed.CodeAt(0).name, "nombre");
  EXPECT_EQ(renamed.CodeAt(0).value, "Aula \"nova\"");
  EXPECT_EQ(renamed.location().kind, Location::Kind::Element);
  EXPECT_EQ(renamed.location().source, "/centro/aulas/aula");
  EXPECT_EQ(renamed.location().position, 2u);
  EXPECT_EQ(renamed.location().line, 17u);

  const Entry deleted = report.At(0);
  EXPECT_FALSE(deleted.Renamed());
  EXPECT_EQ(deleted.OldCode(), "");
  EXPECT_EQ(deleted.location().kind, Location::Kind::Record);
  EXPECT_EQ(deleted.location().source, "PROFT");
  EXPECT_EQ(deleted.CodeCount(), 2u);

  EXPECT_EQ(report.Count(Reason::OtherTemplate), 4u);
  EXPECT_EQ(report.Count(Reason::CodeShortened), 0u);
  EXPECT_EQ(report.Count(Effect::Skipped), 4u);
  EXPECT_EQ(report.Count(Effect::Renamed), 1u);
  EXPECT_EQ(report.Count(Effect::Deleted), 1u);
  EXPECT_EQ(report.Reasons(),
            (std::vector<Reason>{Reason::CodeNumbered, Reason::OtherTemplate,
                                 Reason::IdleTeacher}));
  EXPECT_EQ(report.Grouped(), (std::vector<std::size_t>{1, 2, 3, 4, 5, 0}));
}

// Names are kept once: codes named in one order, then in another, then by a new name, read back
// under their own names.
TEST(Report, EachCodeReadsBackUnderItsOwnNameWhateverTheOrderTheyCameIn) {
  Report report;
  const std::vector<std::vector<std::string>> orders = {
      {"DIA", "HORA", "ASIG"}, {"DIA", "HORA", "ASIG"}, {"ASIG", "DIA"}, {"HORA", "AULA", "DIA"}};
  for (const auto& names : orders) {
    auto entry = report.Add(Reason::NotPlaced, Location::OfRecord("SOLUC", 1));
    for (const std::string& name : names) entry.Code(name, name + "=");
  }
  for (std::size_t i = 0; i < orders.size(); ++i) {
    const Entry entry = report.At(i);
    ASSERT_EQ(entry.CodeCount(), orders[i].size());
    for (std::size_t c = 0; c < orders[i].size(); ++c) {
      EXPECT_EQ(entry.CodeAt(c).name, orders[i][c]) << i << " " << c;
      EXPECT_EQ(entry.CodeAt(c).value, orders[i][c] + "=");
    }
  }
}

TEST(Report, EveryReasonHasADistinctMachineNameASpanishTextAndAnEffect) {
  std::set<std::string_view> names;
  for (std::size_t i = 0; i < kReasonCount; ++i) {
    const auto reason = static_cast<Reason>(i);
    EXPECT_TRUE(names.insert(ReasonName(reason)).second) << ReasonName(reason);
    EXPECT_FALSE(ReasonText(reason).empty());
    for (char c : ReasonName(reason)) EXPECT_TRUE((c >= 'a' && c <= 'z') || c == '_');
  }
  EXPECT_EQ(names.size(), kReasonCount);
  EXPECT_EQ(ReasonName(Reason::CodeNumbered), "codigo_numerado");
  EXPECT_EQ(ReasonName(Reason::RoomUnknown), "aula_desconocida");
  EXPECT_EQ(ReasonEffect(Reason::TeacherUnknown), Effect::Incomplete);
  EXPECT_EQ(EffectName(Effect::Deleted), "borrado");
}

TEST(RenderText, HeaderTalliesCountsThenEntriesGroupedWithRunsOfAlikeElementsOnOneLine) {
  EXPECT_EQ(Cp1252ToUtf8(RenderText(Sample())),
            "Informe de la conversión ITACA -> Clepsa\n"
            "Documento: centro.xml\n"
            "Carpeta de trabajo: ZTEMP\n"
            "Plantilla horaria: MATI\n"
            "Idioma: VALENCIÁ\n"
            "\n"
            "Revise en ITACA: nada\n"
            "Revise en Clepsa: nada\n"
            "Para su información:\n"
            "  Códigos repetidos, numerados en Clepsa: A1 -> A11 (Aula \"nova\").\n"
            "  De otras plantillas (VESPRA) no se importan 4 sesiones.\n"
            "  Docentes sin clases en la plantilla, quitados: Pérez, Ana.\n"
            "\n"
            "Filas por tabla:\n"
            "  PROFT   3\n"
            "  ASIGT  12\n"
            "\n"
            "Avisos: 6 (renombrados 1, omitidos 4, borrados 1)\n"
            "    1  codigo_numerado      Código ya usado: se le añade un número\n"
            "    4  otra_plantilla       De otra plantilla horaria: no se cuenta\n"
            "    1  profesor_sin_clases  Profesor sin clases en la plantilla: se quita de PROFT\n"
            "\n"
            "Código ya usado: se le añade un número [codigo_numerado]: 1\n"
            "  /centro/aulas/aula[2], línea 17: A1 -> A11; nombre=\"Aula \\\"nova\\\"\"\n"
            "\n"
            "De otra plantilla horaria: no se cuenta [otra_plantilla]: 4\n"
            "  /centro/horarios_grupo/horario_grupo[5] a [7] (3), líneas 45 a 47: plantilla=VESPRA\n"
            "  /centro/horarios_grupo/horario_grupo[9], línea 49: plantilla=VESPRA\n"
            "\n"
            "Profesor sin clases en la plantilla: se quita de PROFT [profesor_sin_clases]: 1\n"
            "  PROFT registro 4: ABREV=XYZ NOMBRE=\"Pérez, Ana\"\n");
}

TEST(RenderText, AnExportWithoutEntries) {
  Report report(Report::Kind::Export);
  report.header().output = "ResultadoClepsacentro.xml";
  report.header().school_year = "2025";
  report.read() = {{"SOLUC", 0}};
  EXPECT_EQ(RenderText(report),
            "Informe de la exportaci\xF3n Clepsa -> ITACA\n"
            "Plantilla horaria: ninguna\n"
            "Curso: 2025\n"
            "Documento de salida: ResultadoClepsacentro.xml\n"
            "\n"
            "Revise en ITACA: nada\n"
            "Revise en Clepsa: nada\n"
            "Para su informaci\xF3n: nada\n"
            "\n"
            "Registros le\xED" "dos:\n"
            "  SOLUC  0\n"
            "\n"
            "Avisos: ninguno\n");
  EXPECT_EQ(RenderSummary(report), "Avisos: ninguno\n");
}

TEST(RenderText, EmptyAndBlankValuesAreQuoted) {
  Report report;
  report.Renamed(Reason::RoomWithoutCode, Location::OfElement("/centro/aulas/aula", 1, 0), "",
                 "Labo")
      .Code("nombre", "Laboratori");
  report.Add(Reason::NotPlaced, Location::OfRecord("SOLUC", 3)).Code("PROF", "a;b=c\\d");
  EXPECT_EQ(RenderEntry(report.At(0)), "/centro/aulas/aula[1]: \"\" -> Labo; nombre=Laboratori");
  EXPECT_EQ(RenderEntry(report.At(1)), "SOLUC registro 3: PROF=\"a;b=c\\\\d\"");
}

TEST(RenderText, EntriesWithoutCodesOrWithOnlyARenaming) {
  Report report;
  report.Add(Reason::NotPlaced, Location{});
  report.Renamed(Reason::CodeShortened, Location::OfRecord("AULAT", 2), "LABORATORI", "LABORA");
  report.Add(Reason::NotPlaced, Location::OfRecord("SOLUC", 3));
  EXPECT_EQ(RenderEntry(report.At(0)), "-");
  EXPECT_EQ(RenderEntry(report.At(1)), "AULAT registro 2: LABORATORI -> LABORA");
  EXPECT_EQ(RenderEntry(report.At(2)), "SOLUC registro 3");
}

TEST(RenderJson, VersionOneWithEveryKeyAndTheEntriesGroupedByReason) {
  EXPECT_EQ(RenderJson(Sample()),
            "{\n"
            "  \"version\": 1,\n"
            "  \"tipo\": \"conversion\",\n"
            "  \"documento\": \"centro.xml\",\n"
            "  \"carpeta\": \"ZTEMP\",\n"
            "  \"plantilla\": \"MATI\",\n"
            "  \"idioma\": \"VALENCIÁ\",\n"
            "  \"curso\": \"\",\n"
            "  \"salida\": \"\",\n"
            "  \"leidos\": [],\n"
            "  \"elementos\": [],\n"
            "  \"tablas\": [\n"
            "    {\"tabla\": \"PROFT\", \"filas\": 3},\n"
            "    {\"tabla\": \"ASIGT\", \"filas\": 12}\n"
            "  ],\n"
            "  \"total\": 6,\n"
            "  \"efectos\": {\"renombrado\": 1, \"omitido\": 4, \"incompleto\": 0, \"borrado\": 1},\n"
            "  \"motivos\": [\n"
            "    {\"motivo\": \"codigo_numerado\", \"efecto\": \"renombrado\", \"nivel\": "
            "\"para_su_informacion\", \"texto\": \"Código ya "
            "usado: se le añade un número\", \"cantidad\": 1},\n"
            "    {\"motivo\": \"otra_plantilla\", \"efecto\": \"omitido\", \"nivel\": "
            "\"para_su_informacion\", \"texto\": \"De otra "
            "plantilla horaria: no se cuenta\", \"cantidad\": 4},\n"
            "    {\"motivo\": \"profesor_sin_clases\", \"efecto\": \"borrado\", \"nivel\": "
            "\"para_su_informacion\", \"texto\": \"Profesor "
            "sin clases en la plantilla: se quita de PROFT\", \"cantidad\": 1}\n"
            "  ],\n"
            "  \"entradas\": [\n"
            "    {\"motivo\": \"codigo_numerado\", \"coleccion\": \"/centro/aulas/aula\", "
            "\"posicion\": 2, \"linea\": 17, \"anterior\": \"A1\", \"nuevo\": \"A11\", \"codigos\": "
            "{\"nombre\": \"Aula \\\"nova\\\"\"}},\n"
            "    {\"motivo\": \"otra_plantilla\", \"coleccion\": "
            "\"/centro/horarios_grupo/horario_grupo\", \"posicion\": 5, \"linea\": 45, \"codigos\": "
            "{\"plantilla\": \"VESPRA\"}},\n"
            "    {\"motivo\": \"otra_plantilla\", \"coleccion\": "
            "\"/centro/horarios_grupo/horario_grupo\", \"posicion\": 6, \"linea\": 46, \"codigos\": "
            "{\"plantilla\": \"VESPRA\"}},\n"
            "    {\"motivo\": \"otra_plantilla\", \"coleccion\": "
            "\"/centro/horarios_grupo/horario_grupo\", \"posicion\": 7, \"linea\": 47, \"codigos\": "
            "{\"plantilla\": \"VESPRA\"}},\n"
            "    {\"motivo\": \"otra_plantilla\", \"coleccion\": "
            "\"/centro/horarios_grupo/horario_grupo\", \"posicion\": 9, \"linea\": 49, \"codigos\": "
            "{\"plantilla\": \"VESPRA\"}},\n"
            "    {\"motivo\": \"profesor_sin_clases\", \"tabla\": \"PROFT\", \"registro\": 4, "
            "\"codigos\": {\"ABREV\": \"XYZ\", \"NOMBRE\": \"Pérez, Ana\"}}\n"
            "  ],\n"
            "  \"niveles\": {\"revise_en_itaca\": [], \"revise_en_clepsa\": [], "
            "\"para_su_informacion\": [\"Códigos repetidos, numerados en Clepsa: A1 -> A11 (Aula "
            "\\\"nova\\\").\", \"De otras plantillas (VESPRA) no se importan 4 sesiones.\", "
            "\"Docentes sin clases en la plantilla, quitados: Pérez, Ana.\"]},\n"
            "  \"filas_incompletas\": [],\n"
            "  \"verificacion\": null\n"
            "}\n");
}

TEST(RenderJson, ControlCharactersAndTheCodePagesOwnLettersAreEscapedOrConverted) {
  Report report(Report::Kind::Export);
  report.Add(Reason::SlotUnknown, Location::OfRecord("SOLUC", 1))
      .Code("MARCO", std::string("\x01\t\x80", 3));
  const std::string json = RenderJson(report);
  EXPECT_NE(json.find("\"tipo\": \"exportacion\""), std::string::npos);
  EXPECT_NE(json.find("\"entradas\": [\n    {\"motivo\": \"tramo_desconocido\", \"tabla\": "
                      "\"SOLUC\", \"registro\": 1, \"codigos\": {\"MARCO\": \"\\u0001\\t€\"}}\n  ]"),
            std::string::npos)
      << json;
  EXPECT_NE(RenderJson(Report()).find("  \"motivos\": [],\n  \"entradas\": [],\n  \"niveles\": "),
            std::string::npos);
}

// Within one reason, entries of other places and other code names than the one before them, and
// values whose plain bytes come between escapes.
TEST(RenderJson, EachEntryOfAGroupWithItsOwnPlaceNamesAndEscapes) {
  Report report(Report::Kind::Export);
  report.Add(Reason::NotPlaced, Location::OfElement("/a/b", 3, 0))
      .Code("PROF", std::string("x\"y\\z\x1F\x7F") + "ab\xE9\x80\x81" + "cd\n");
  report.Add(Reason::NotPlaced, Location::OfRecord("SOLUC", 4)).Code("ASIG", "").Code("PROF", "P");
  report.Renamed(Reason::NotPlaced, Location{}, "\x01", "b").Code("ASIG", "\"");
  report.Add(Reason::NotPlaced, Location::OfRecord("SOLUC", 5));
  const std::string json = RenderJson(report);
  EXPECT_NE(
      json.find("  \"entradas\": [\n"
                "    {\"motivo\": \"sin_colocar\", \"coleccion\": \"/a/b\", \"posicion\": 3, "
                "\"linea\": 0, \"codigos\": {\"PROF\": \"x\\\"y\\\\z\\u001f\\u007fabé€\xC2\x81"
                "cd\\n\"}},\n"
                "    {\"motivo\": \"sin_colocar\", \"tabla\": \"SOLUC\", \"registro\": 4, "
                "\"codigos\": {\"ASIG\": \"\", \"PROF\": \"P\"}},\n"
                "    {\"motivo\": \"sin_colocar\", \"anterior\": \"\\u0001\", \"nuevo\": \"b\", "
                "\"codigos\": {\"ASIG\": \"\\\"\"}},\n"
                "    {\"motivo\": \"sin_colocar\", \"tabla\": \"SOLUC\", \"registro\": 5, "
                "\"codigos\": {}}\n  ]"),
      std::string::npos)
      << json;
}

}  // namespace
}  // namespace tc::report
