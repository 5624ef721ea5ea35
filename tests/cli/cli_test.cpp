// The transclepsa command, run as a program: exit statuses, what it prints, its defaults and each
// flag, on the sample school.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/platform.h"
#include "store/safe_commit.h"
#include "store/schemas.h"
#include "store/table.h"
#include "support/process.h"
#include "support/table_rows.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using tc::test::Row;
using tc::test::W;

const fs::path kSample = fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";

using Args = std::vector<std::string>;

// A path as an argument: UTF-8, as the program takes it.
std::string Arg(const fs::path& path) { return tc::platform::PathToUtf8(path); }

Args Join(Args head, const Args& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

struct Outcome : tc::test::ProgramOutcome {
  bool Says(std::string_view text) const { return out.find(text) != std::string::npos; }
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(data); }

  // Runs transclepsa with these arguments, environment changes and working folder.
  Outcome RunRaw(const Args& args, const tc::test::EnvironmentChanges& environment = {},
                 const fs::path& working_dir = {}) {
    return Outcome{tc::test::RunProgram(fs::path(TC_CLI_PATH), {args, environment, working_dir})};
  }

  // The same with the output's lines ending in LF: on Windows they end in CR LF, as text does
  // there (LinesOfOutputEndAsTextDoesOnTheSystem).
  Outcome Run(const Args& args, const tc::test::EnvironmentChanges& environment = {},
              const fs::path& working_dir = {}) {
    Outcome outcome = RunRaw(args, environment, working_dir);
#ifdef _WIN32
    for (std::string* text : {&outcome.out, &outcome.err}) {
      for (std::size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
    }
#endif
    return outcome;
  }

  Outcome Convert(const Args& flags = {}) {
    return Run(Join({"convert", Arg(kSample), "--data-dir", Arg(data)}, flags));
  }

  std::vector<Row> Rows(std::string_view table) const {
    return tc::test::ReadRows(data / (std::string(table) + ".DBF"));
  }

  bool HasSubjectNamed(const std::string& name) const {
    for (const Row& row : Rows("ASIGNOMT"))
      if (row.at("NOMBRE") == name) return true;
    return false;
  }

  tc::test::TempDir dir;
  fs::path data = dir / "ZTEMP";
};

TEST_F(CliTest, WrongUsageExitsWith64AndSaysSoInSpanish) {
  for (const Args& args : {Args{}, Args{"frobnicate"}, Args{"convert"},
                           Args{"convert", "a.xml", "b.xml"}, Args{"convert", "a.xml", "--bogus"},
                           Args{"convert", "a.xml", "--template"}, Args{"templates"},
                           Args{"export"}}) {
    const std::string shown = ::testing::PrintToString(args);
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 64) << shown;
    EXPECT_EQ(outcome.err.rfind("transclepsa: ", 0), 0u) << shown << ": " << outcome.err;
    EXPECT_NE(outcome.err.find("Consulte \"transclepsa --help\"."), std::string::npos) << shown;
    EXPECT_TRUE(outcome.out.empty()) << shown;
    // CLI11's own English words never reach the user.
    for (const char* english : {"required", "expected", "subcommand", "missing", "not "}) {
      EXPECT_EQ(outcome.err.find(english), std::string::npos) << shown << ": " << outcome.err;
    }
  }
  EXPECT_EQ(Run({}).err,
            "transclepsa: Falta la orden: convert, templates, export, check o restore.\n"
            "Consulte \"transclepsa --help\".\n");
  EXPECT_EQ(Run({"convert"}).err.rfind("transclepsa: Falta el documento XML de ITACA (FICHERO).", 0),
            0u);
  EXPECT_EQ(Run({"convert", "a.xml", "b.xml"}).err.rfind("transclepsa: Sobran argumentos: b.xml.", 0), 0u);
  EXPECT_EQ(Run({"convert", "a.xml", "--template"}).err.rfind(
                "transclepsa: Falta el valor de la opción --template.", 0),
            0u);
}

// What the parse cannot refuse by itself (options of the other kind of check, a backup named with
// --list) and values that are none: each said in Spanish with the user's own words, as typed.
TEST_F(CliTest, OptionsThatDoNotGoTogetherOrValuesThatAreNoneExitWith64) {
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"check", "a.xml", "--export", "--language", "castellano"},
       "La opción --language no vale con --export"},
      {{"check", "a.xml", "--export", "--keep-idle"}, "La opción --keep-idle no vale con --export"},
      {{"check", "a.xml", "--school-year", "2024"},
       "La opción --school-year solo vale con --export"},
      {{"restore", "--list", "2"}, "Con --list no se indica ninguna copia"},
      {{"restore", "0"}, "Valor no válido para NUMERO: 0"},
      {{"restore", "dos"}, "Valor no válido para NUMERO: dos"},
      {{"convert", "a.xml", "b.xml", "c.xml"}, "Sobran argumentos: b.xml c.xml"}};
  for (const auto& [args, what] : cases) {
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 64) << what;
    EXPECT_EQ(outcome.err, "transclepsa: " + what + ".\nConsulte \"transclepsa --help\".\n");
    EXPECT_TRUE(outcome.out.empty()) << what;
  }
}

TEST_F(CliTest, VersionExitsWith0) {
  const Outcome version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "transclepsa (TransClepsaItaca) 1.0.0\n");
}

TEST_F(CliTest, HelpExitsWith0) {
  const Outcome top = Run({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_TRUE(top.Says("Uso: transclepsa [OPCIONES] ORDEN"));
  for (const char* command : {"convert", "templates", "export"}) EXPECT_TRUE(top.Says(command));

  const Outcome convert = Run({"convert", "--help"});
  EXPECT_EQ(convert.status, 0);
  for (const char* flag : {"--data-dir", "--template", "--language", "--all-templates",
                           "--keep-idle"})
    EXPECT_TRUE(convert.Says(flag)) << flag;
  EXPECT_TRUE(Run({"export", "-h"}).Says("--school-year"));
}

TEST_F(CliTest, AMissingInputExitsWith2) {
  const Outcome convert = Run({"convert", Arg(dir / "no_existe.xml"), "--data-dir", Arg(data)});
  EXPECT_EQ(convert.status, 2);
  EXPECT_EQ(convert.err, "No existe archivo\n  no existe " + (dir / "no_existe.xml").string() + "\n");
  EXPECT_TRUE(convert.out.empty());
  EXPECT_TRUE(fs::is_empty(data));

  const Outcome templates = Run({"templates", Arg(dir / "falta" / "no_existe.xml")});
  EXPECT_EQ(templates.status, 2);
  EXPECT_EQ(templates.err,
            "No existe archivo\n  no existe " + (dir / "falta").string() + " (carpeta)\n");

  // The export also needs Clepsa's SOLUC.
  const Outcome exported = Run({"export", Arg(kSample), "--data-dir", Arg(data)});
  EXPECT_EQ(exported.status, 2);
  EXPECT_EQ(exported.err, "No existe archivo XML o Soluci\xC3\xB3n.\n  no existe " +
                              (data / "SOLUC.DBF").string() + "\n");
}

TEST_F(CliTest, ConvertWithTheDefaultsPrintsWhatItWrote) {
  const Outcome outcome = Convert();
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.err.empty());
  EXPECT_EQ(outcome.out,
            "\xC2\xBFImportar los datos de todas las plantillas? No\n"
            "\xC2\xBFQuitar los grupos y profesores sin clases en esta plantilla? S\xC3\xAD\n"
            "Proceso finalizado\n"
            "Plantilla horaria: MATI (Horari de mat\xC3\xAD), turno M, 7 periodos\n"
            "Idioma: VALENCI\xC3\x81\n"
            "Tablas escritas en " + Arg(data) + ":\n"
            "  PROFT       39 filas\n"
            "  CURSOST     6 filas\n"
            "  GRUPOST     10 filas\n"
            "  ASIGNOMT    75 filas\n"
            "  AULAT       21 filas\n"
            "  ASIGT       237 filas\n"
            "  DIASHORAST  49 filas\n"
            "Avisos: 137 (renombrados 3, omitidos 113, borrados 21)\n"
            "    2  codigo_numerado          C\xC3\xB3" "digo ya usado: se le a\xC3\xB1" "ade un n\xC3\xBA" "mero\n"
            "    1  codigo_con_letra         C\xC3\xB3" "digo de ocupaci\xC3\xB3n ya usado: su \xC3\xBAltima cifra se cambia por una letra\n"
            "  113  otra_plantilla           De otra plantilla horaria: no se cuenta\n"
            "   18  asignacion_sin_sesiones  Fila de ASIGT a la que no lleg\xC3\xB3 ninguna sesi\xC3\xB3n de la plantilla: se borra\n"
            "    2  grupo_sin_clases         Grupo sin clases en la plantilla: se quita de GRUPOST\n"
            "    1  profesor_sin_clases      Profesor sin clases en la plantilla: se quita de PROFT\n"
            "Copia de seguridad de lo sustituido: 1 (transclepsa restore 1 la repone)\n");
  EXPECT_TRUE(HasSubjectNamed(W("Matemàtiques")));
}

TEST_F(CliTest, ConvertTakesTheTemplateTheLanguageAndKeepsIdleRows) {
  const Outcome outcome = Convert({"--template", "VESPRA", "--language", "CASTELLANO", "--keep-idle"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("Plantilla horaria: VESPRA (Horario de tarde), turno V, 6 periodos\n"));
  EXPECT_TRUE(outcome.Says("Idioma: CASTELLANO\n"));
  EXPECT_TRUE(outcome.Says("sin clases en esta plantilla? No\n"));
  EXPECT_TRUE(outcome.Says("  PROFT       40 filas\n"));
  EXPECT_TRUE(outcome.Says("  GRUPOST     12 filas\n"));
  EXPECT_TRUE(outcome.Says("  DIASHORAST  42 filas\n"));
  const auto slots = Rows("DIASHORAST");
  EXPECT_EQ(slots.at(0).at("TEXTODIA"), "Lunes");
  EXPECT_EQ(slots.at(0).at("MARCOXML"), "VESPRA");
  EXPECT_TRUE(HasSubjectNamed(W("Matemáticas")));
}

TEST_F(CliTest, AllTemplatesAnswersYesAndThenNothingIsPruned) {
  const Outcome outcome = Convert({"--all-templates"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("todas las plantillas? S\xC3\xAD\n"));
  EXPECT_FALSE(outcome.Says("Quitar"));
  EXPECT_TRUE(outcome.Says("  GRUPOST     12 filas\n"));
  EXPECT_TRUE(outcome.Says("  PROFT       40 filas\n"));
}

TEST_F(CliTest, TheLanguageIsOneOfTheTwoOfTheListAndATemplateOneOfTheDocument) {
  Outcome outcome = Convert({"--language", "castellano"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("Idioma: CASTELLANO\n"));
  EXPECT_EQ(Rows("DIASHORAST").at(0).at("TEXTODIA"), "Lunes");
  EXPECT_TRUE(Convert({"--language", "valencia"}).Says("Idioma: VALENCI\xC3\x81\n"));

  // Anything else is wrong usage, and nothing is built.
  const auto before = tc::test::FolderFiles(data);
  outcome = Convert({"--language", "INGLES"});
  EXPECT_EQ(outcome.status, 64);
  EXPECT_EQ(outcome.err, "Error: El idioma «INGLES» no es ninguno de los de la lista: VALENCIÁ o "
                         "CASTELLANO.\nConsulte «transclepsa --help».\n");
  outcome = Convert({"--template", "NOPE"});
  EXPECT_EQ(outcome.status, 64);
  EXPECT_EQ(outcome.err, "Error: La plantilla «NOPE» no está en el documento; sus plantillas son: "
                         "MATI, VESPRA.\nConsulte «transclepsa --help».\n");
  EXPECT_EQ(tc::test::FolderFiles(data), before);
}

TEST_F(CliTest, TheWorkingFolderComesFromTheEnvironmentUnlessGiven) {
  Outcome outcome = Run({"convert", Arg(kSample)}, {{"TRANSCLEPSA_ZTEMP", Arg(data)}});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(data / "PROFT.DBF"));

  const fs::path other = dir / "OTRA";
  fs::create_directory(other);
  outcome = Run({"convert", Arg(kSample), "--data-dir", Arg(other)},
                {{"TRANSCLEPSA_ZTEMP", Arg(dir / "no_existe")}});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(other / "PROFT.DBF"));
}

#ifndef _WIN32
// The program may start itself once more for its memory settings: with every argument, whatever
// allocator settings the user gave, and only once.
TEST_F(CliTest, StartedAgainForItsMemoryTheProgramKeepsItsArgumentsAndTheUsersSettings) {
  const fs::path folder = dir / "A\xC3\xB1o";  // "A�o", UTF-8
  fs::create_directory(folder);
  for (const char* settings : {"glibc.malloc.arena_max=2", "glibc.malloc.hugetlb=1"}) {
    const Outcome outcome = Run({"convert", Arg(kSample), "--data-dir", Arg(folder), "-q"},
                                {{"GLIBC_TUNABLES", settings}});
    ASSERT_EQ(outcome.status, 0) << settings << ": " << outcome.err;
    EXPECT_TRUE(fs::exists(folder / "PROFT.DBF"));
    fs::remove(folder / "PROFT.DBF");
  }
}
#endif

TEST_F(CliTest, AMissingWorkingFolderIsAnErrorNamingIt) {
  const fs::path missing = dir / "SIN_CARPETA";
  const Outcome outcome = Run({"convert", Arg(kSample), "--data-dir", Arg(missing)});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err.rfind("Error: ", 0), 0u) << outcome.err;
  EXPECT_NE(outcome.err.find("SIN_CARPETA"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("\nCompruebe que el archivo o la carpeta existen"), std::string::npos)
      << outcome.err;
  EXPECT_FALSE(outcome.Says("Proceso finalizado"));
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(CliTest, TemplatesListsWhatTheDialogShows) {
  Outcome outcome = Run({"templates", Arg(kSample)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out.rfind("Plantillas horarias (idioma VALENCI\xC3\x81):\n", 0), 0u);
  EXPECT_TRUE(outcome.Says("\nMATI  (preseleccionada)\n  Horario: Horari de mat\xC3\xAD\n"
                           "  Turno: M\n  HORAS:\n     1 de 08:00 a 08:55\n"));
  EXPECT_TRUE(outcome.Says("\nVESPRA\n  Horario: Horari de vesprada\n  Turno: V\n  HORAS:\n"
                           "     8 de 15:00 a 15:55\n     9 de 15:55 a 16:50\n"
                           "    10 de 16:50 a 17:45\n"));
  EXPECT_TRUE(outcome.Says("    13 de 19:55 a 20:50\n"));

  outcome = Run({"templates", Arg(kSample), "--language", "CASTELLANO"});
  EXPECT_TRUE(outcome.Says("  Horario: Horario de tarde\n"));

  const fs::path bare = dir / "sense.xml";
  tc::test::WriteFile(bare, "<centro><aulas/></centro>");
  outcome = Run({"templates", Arg(bare)});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "El documento no tiene plantillas horarias.\n");
}

TEST_F(CliTest, LinesOfOutputEndAsTextDoesOnTheSystem) {
  const fs::path bare = dir / "sense.xml";
  tc::test::WriteFile(bare, "<centro><aulas/></centro>");
  const Outcome listed = RunRaw({"templates", Arg(bare)});
  const Outcome wrong = RunRaw({"convert"});
#ifdef _WIN32
  EXPECT_EQ(listed.out, "El documento no tiene plantillas horarias.\r\n");
  EXPECT_EQ(wrong.err.substr(wrong.err.find("\nConsulte")), "\nConsulte \"transclepsa --help\".\r\n");
#else
  EXPECT_EQ(listed.out, "El documento no tiene plantillas horarias.\n");
  EXPECT_EQ(wrong.err.substr(wrong.err.find("\nConsulte")), "\nConsulte \"transclepsa --help\".\n");
#endif
}

// A converted sample school and a SOLUC with one class and one duty placed on Monday, hour 1.
class CliExportTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(Convert().status, 0);
    fs::copy_file(kSample, input);

    Row lesson, duty;
    for (const Row& row : Rows("ASIGT")) {
      if (lesson.empty() && row.at("CTAREA") == "*479" && !row.at("CPROF").empty()) lesson = row;
      if (duty.empty() && row.at("CTAREA") == row.at("CASIG")) duty = row;
    }
    ASSERT_FALSE(lesson.empty());
    ASSERT_FALSE(duty.empty());
    using tc::store::FieldType;
    tc::store::Table soluc = tc::store::Table::Create(
        data / "SOLUC.DBF", {{"ASIG", FieldType::Character, 10},
                             {"TAREA", FieldType::Character, 10},
                             {"DIA", FieldType::Integer, 0},
                             {"HORA", FieldType::Integer, 0},
                             {"MARCO", FieldType::Character, 1},
                             {"CODGRUPO", FieldType::Character, 10},
                             {"PROF", FieldType::Character, 10},
                             {"AULA", FieldType::Character, 10}});
    for (const Row* row : {&lesson, &duty}) {
      soluc.Append();
      soluc.SetText("ASIG", row->at("CASIG"));
      soluc.SetText("TAREA", row->at("CTAREA"));
      soluc.SetInteger("DIA", 1);
      soluc.SetInteger("HORA", 1);
      soluc.SetText("MARCO", "0");
      soluc.SetText("CODGRUPO", row->at("CGRUP"));
      soluc.SetText("PROF", row->at("CPROF"));
      soluc.SetText("AULA", row->at("CAULA"));
      soluc.Post();
    }
    soluc.Close();
  }

  Outcome Export(const Args& flags = {}) {
    return Run(Join({"export", Arg(input), "--data-dir", Arg(data)}, flags));
  }

  fs::path input = dir / "centro.xml";
  fs::path output = dir / "ResultadoClepsacentro.xml";
};

TEST_F(CliExportTest, DefaultsAreTheLastTemplateAndTheDocumentsYear) {
  const Outcome outcome = Export();
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("Proceso finalizado\n"
                           "Documento escrito: " + Arg(output) + "\n"
                           "  plantilla horaria: MATI\n"
                           "  curso:             2024\n"
                           "  horario_grupo:     1\n"
                           "  horario_ocupacion: 1\n"));
  const std::string written = tc::test::ReadFile(output);
  EXPECT_NE(written.find("curso=\"2024\""), std::string::npos);
  EXPECT_NE(written.find("plantilla=\"MATI\" dia_semana=\"L\" sesion_orden=\"1\""),
            std::string::npos);
}

TEST_F(CliExportTest, TemplateAndSchoolYearFlags) {
  // Another template than the conversion's is refused unless --force says so; check says the same.
  const std::string refusal =
      "Error (plantilla_distinta): La plantilla elegida, «VESPRA», no es la de la conversión, "
      "«MATI»: las horas de Clepsa se escribirían con los periodos de otra plantilla y se "
      "perderían las clases que no encajen.\nNo se ha cambiado nada. Si es lo que quiere, repita "
      "la orden con --force.\n";
  const auto before = tc::test::FolderFiles(data);
  Outcome outcome = Export({"--template", "VESPRA"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, refusal);
  EXPECT_EQ(Run({"check", "--export", Arg(input), "--data-dir", Arg(data), "--template", "VESPRA"})
                .err,
            refusal);
  EXPECT_EQ(tc::test::FolderFiles(data), before);

  outcome = Export({"--template", "VESPRA", "--school-year", "2025", "--force"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("Aviso (plantilla_distinta): La plantilla elegida, «VESPRA»"));
  EXPECT_TRUE(outcome.Says("  plantilla horaria: VESPRA\n  curso:             2025\n"));
  EXPECT_NE(tc::test::ReadFile(output).find(
                "plantilla=\"VESPRA\" dia_semana=\"L\" sesion_orden=\"8\""),
            std::string::npos);

  // The next export defaults to the conversion's template again, not to the slot table's.
  EXPECT_TRUE(Export().Says("  plantilla horaria: MATI\n"));


  // No template: refused, and with --force no document without one lesson is written.
  EXPECT_EQ(Export({"--template", ""}).err.rfind("Error (sin_plantilla): ", 0), 0u);
  fs::remove(output);
  EXPECT_EQ(Export({"--template", "", "--force"}).status, 1);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(Export({"--school-year", "hola"}).status, 64);  // not a year of four digits

  // Tables with the lessons of every template belong to none: any template may be exported
  // (Clepsa's timetable computed again after that conversion).
  ASSERT_EQ(Convert({"--all-templates"}).status, 0);
  fs::last_write_time(data / "SOLUC.DBF",
                      fs::file_time_type::clock::now() + std::chrono::seconds(2));
  outcome = Export({"--template", "VESPRA", "--school-year", "2025"});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_FALSE(outcome.Says("plantilla_distinta"));
}

// A SOLUC cut short at a record boundary (a copy interrupted, a full disk) would be half a
// timetable sent to ITACA.
TEST_F(CliExportTest, ASolutionShorterThanItsHeaderSaysIsRefusedWithBothCounts) {
  const fs::path soluc = data / "SOLUC.DBF";
  std::string bytes = tc::test::ReadFile(soluc);
  const auto u16 = [&](std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
  };
  bytes.resize(u16(8) + u16(10));  // the header and the first of its two records
  tc::test::WriteFile(soluc, bytes);
  const auto before = tc::test::FolderFiles(dir.path());

  const Outcome outcome = Export();
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("La tabla SOLUC (" + Arg(soluc) +
                             ") está incompleta: su cabecera anuncia 2 registros y el archivo "
                             "solo contiene 1."),
            std::string::npos)
      << outcome.err;
  EXPECT_EQ(tc::test::FolderFiles(dir.path()), before);
}

TEST_F(CliExportTest, WithoutASlotTableTheExportFailsAndWritesNothing) {
  fs::remove(data / "DIASHORAST.DBF");
  const auto before = tc::test::FolderFiles(dir.path());
  const Outcome outcome = Export();
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_EQ(outcome.err.rfind("Error: ", 0), 0u) << outcome.err;
  EXPECT_NE(outcome.err.find("DIASHORAST"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("Haga antes la transformaci"), std::string::npos) << outcome.err;
  EXPECT_EQ(tc::test::FolderFiles(dir.path()), before);
}

}  // namespace

// ---- The report, -q and check -------------------------------------------------------------------

namespace {

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  return tc::test::FolderFiles(dir);
}

}  // namespace

TEST_F(CliTest, ReportFileIsJsonOrTextByItsNameAndQuietPrintsNothing) {
  const fs::path json = dir / "informe.JSON";
  Outcome outcome = Convert({"-q", "--report", Arg(json)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
  const std::string written = tc::test::ReadFile(json);
  EXPECT_EQ(written.rfind("{\n  \"version\": 1,\n  \"tipo\": \"conversion\",\n", 0), 0u);
  EXPECT_NE(written.find("{\"motivo\": \"codigo_numerado\", \"coleccion\": "
                         "\"/centro/docentes/docente\", \"posicion\": 13, \"linea\": 127, "
                         "\"anterior\": \"GMJ\", \"nuevo\": \"GMJ1\", \"codigos\": "
                         "{\"documento\": \"12040481G\", \"nombre\": \"Gómez Mas, Júlia\"}}"),
            std::string::npos);

  const fs::path text = dir / "informe.txt";
  outcome = Convert({"--report", Arg(text)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("Informe guardado en " + Arg(text) + "\n"));
  const std::string report = tc::test::ReadFile(text);
  EXPECT_EQ(report.rfind("Informe de la conversión ITACA -> Clepsa\n", 0), 0u);
  EXPECT_NE(report.find("\n  /centro/docentes/docente[37], línea 151: GMJ -> GMJ2; "
                        "documento=56849503N nombre=\"Gil Mateu, Judit\"\n"),
            std::string::npos);

  // Quiet keeps errors on standard error.
  outcome = Run({"convert", Arg(dir / "no_existe.xml"), "-q", "--data-dir", Arg(data)});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err.rfind("No existe archivo\n", 0), 0u);
}

TEST_F(CliTest, CheckOnAnEmptyFolderRunsTheWholeConversionAndLeavesItEmpty) {
  const Outcome outcome = Run({"check", Arg(kSample), "--data-dir", Arg(data)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(fs::is_empty(data));
  EXPECT_TRUE(outcome.Says("Sí\nComprobación: la conversión se completaría sin errores "
                           "(no se ha cambiado nada).\n\nInforme de la conversión ITACA -> Clepsa\n"));
  EXPECT_TRUE(outcome.Says("\nFilas por tabla:\n  PROFT        39\n"));
  EXPECT_TRUE(outcome.Says("\n  /centro/horarios_grupo/horario_grupo[311] a [364] (54), líneas 569 "
                           "a 622: plantilla=VESPRA\n"));
  EXPECT_TRUE(outcome.Says("\nLa carpeta de trabajo no tiene tablas de Clepsa: se crearían todas.\n"));
  EXPECT_FALSE(outcome.Says("Proceso finalizado"));
}

TEST_F(CliTest, CheckShowsWhatWouldChangeAndChangesNothing) {
  ASSERT_EQ(Convert().status, 0);
  const auto before = Snapshot(data);
  const fs::path json = dir / "comprobacion.json";
  const Outcome outcome = Run({"check", Arg(kSample), "--data-dir", Arg(data), "--template", "VESPRA",
                               "--report", Arg(json)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Snapshot(data), before);
  EXPECT_TRUE(outcome.Says("Cambios en la carpeta de trabajo " + Arg(data) + ":\n"));
  EXPECT_TRUE(outcome.Says("  CURSOST, cursos: 6 filas ahora, 6 después: 0 añadidas, "
                           "0 quitadas, 6 cambiadas, 0 iguales\n    ~ código 301201: TURNO M -> V\n"));
  EXPECT_TRUE(outcome.Says("  GRUPOST, grupos: 10 filas ahora, 2 después: 2 añadidas, "
                           "10 quitadas, 0 cambiadas, 0 iguales\n"
                           "    + 1r Batxillerat A (grupo 1BATA): CLAVE=1BATA\n"));
  EXPECT_TRUE(outcome.Says("  AULAT, aulas: sin cambios (21 filas)\n"));
  // The tables that would lose more than half of their rows come first.
  EXPECT_TRUE(outcome.Says("\xC2\xA1" "Atenci\xC3\xB3n! La tabla GRUPOST (grupos) perder\xC3\xAD" "a m\xC3\xA1s de "
                           "la mitad de sus filas: 10 filas ahora, 2 despu\xC3\xA9s.\n"))
      << outcome.out;
  EXPECT_TRUE(outcome.Says("    - ... y 5 más\n"));
  EXPECT_NE(tc::test::ReadFile(json).find("\"plantilla\": \"VESPRA\""), std::string::npos);
}

TEST_F(CliTest, CheckExitsAsTheConversionWouldAndLeavesTheFolderAsItWas) {
  ASSERT_EQ(Convert().status, 0);
  const auto before = Snapshot(data);

  Outcome outcome = Run({"check", Arg(dir / "no_existe.xml"), "--data-dir", Arg(data)});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err, "No existe archivo\n  no existe " + (dir / "no_existe.xml").string() + "\n");

  // A period line the slot stage refuses: the conversion's error, its status.
  const fs::path bad = dir / "mal.xml";
  std::string xml = tc::test::ReadFile(kSample);
  const std::string from = "hora_desde=\"08:00\"";
  xml.replace(xml.find(from), from.size(), "hora_desde=\"8h00!\"");
  tc::test::WriteFile(bad, xml);
  outcome = Run({"check", Arg(bad), "--data-dir", Arg(data)});
  fs::create_directory(dir / "OTRA");
  const Outcome converted = Run({"convert", Arg(bad), "--data-dir", Arg(dir / "OTRA")});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, converted.err);
  EXPECT_NE(outcome.err.find("Línea de horas no válida en la plantilla \"MATI\""),
            std::string::npos)
      << outcome.err;
  EXPECT_FALSE(outcome.Says("Comprobación"));

  outcome = Run({"check", Arg(kSample), "--data-dir", Arg(dir / "SIN_CARPETA")});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.err.find("SIN_CARPETA"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "SIN_CARPETA"));

  EXPECT_EQ(Snapshot(data), before);
}

TEST_F(CliTest, CheckTakesTheConversionsOrTheExportsOptionsOnly) {
  for (const Args& flags : {Args{"--export", "--language", "CASTELLANO"},
                            Args{"--export", "--all-templates"}, Args{"--export", "--keep-idle"},
                            Args{"--school-year", "2025"}}) {
    const Outcome outcome = Run(Join({"check", Arg(kSample), "--data-dir", Arg(data)}, flags));
    EXPECT_EQ(outcome.status, 64) << ::testing::PrintToString(flags);
    EXPECT_NE(outcome.err.find("vale con --export"), std::string::npos) << outcome.err;
  }
  EXPECT_TRUE(fs::is_empty(data));
}

TEST_F(CliExportTest, ExportPrintsItsReportAndCheckSavesNothing) {
  Outcome outcome = Export({"--report", Arg(dir / "exportacion.txt")});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("  horario_ocupacion: 1\nAvisos: ninguno\nInforme guardado en "));
  EXPECT_NE(tc::test::ReadFile(dir / "exportacion.txt")
                .find("Registros leídos:\n  SOLUC  2\nElementos escritos:\n  horario_grupo      1\n"
                      "  horario_ocupacion  1\nFilas por tabla:\n  DIASHORAST  49\n"),
            std::string::npos);
  fs::remove(output);

  const auto before = Snapshot(data);
  outcome = Run({"check", "--export", Arg(input), "--data-dir", Arg(data), "--template", "VESPRA",
                 "--force"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Snapshot(data), before);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_TRUE(outcome.Says("Comprobación: la exportación se completaría sin errores "
                           "(no se ha cambiado nada).\n"));
  EXPECT_TRUE(outcome.Says("Documento que se escribiría: " + Arg(output) + " (nuevo)\n"));
  EXPECT_TRUE(outcome.Says("  DIASHORAST, horas del horario: 49 filas ahora, 42 después: 0 añadidas, "
                           "7 quitadas, 42 cambiadas, 0 iguales\n"));

  // Without SOLUC the check stops as the export would.
  fs::remove(data / "SOLUC.DBF");
  outcome = Run({"check", "--export", Arg(input), "--data-dir", Arg(data)});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err.rfind("No existe archivo XML o Solución.\n", 0), 0u);
}

// ---- Backups, restore, one run at a time --------------------------------------------------------

namespace {

// The working folder's tables and their bytes (our own folder left out).
std::map<std::string, std::string> Tables(const fs::path& dir) {
  std::map<std::string, std::string> tables;
  for (const auto& [name, bytes] : tc::test::FolderFiles(dir)) {
    if (name.find('/') == std::string::npos) tables[name] = bytes;
  }
  return tables;
}

TEST_F(CliTest, EveryRunThatReplacesTablesKeepsThemAndRestorePutsThemBack) {
  Outcome outcome = Run({"restore", "--list", "--data-dir", Arg(data)});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("No hay copias de seguridad en ")) << outcome.out;
  outcome = Run({"restore", "--data-dir", Arg(data)});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.err.find("No hay copias de seguridad"), std::string::npos) << outcome.err;

  ASSERT_EQ(Convert({"--template", "VESPRA"}).status, 0);
  const auto afternoon = Tables(data);
  outcome = Convert({"--template", "MATI"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  // The first run into the empty folder kept its report; the second the first one's tables.
  EXPECT_TRUE(outcome.Says("Copia de seguridad de lo sustituido: 2 (transclepsa restore 2 la "
                           "repone)\n"))
      << outcome.out;
  const auto morning = Tables(data);

  outcome = Run({"restore", "--list", "--data-dir", Arg(data)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("  2      ")) << outcome.out;
  EXPECT_TRUE(outcome.Says("  conversi\xC3\xB3n    " + Arg(kSample) + "\n")) << outcome.out;
  // Two backups of one document told apart by their template and the rows they kept.
  EXPECT_TRUE(outcome.Says("\n         plantilla VESPRA, centro ")) << outcome.out;
  EXPECT_TRUE(outcome.Says("; filas: ninguna tabla (la carpeta no ten\xC3\xAD" "a tablas de Clepsa)\n"))
      << outcome.out;
  EXPECT_TRUE(outcome.Says("\n         plantilla MATI, centro ")) << outcome.out;
  EXPECT_TRUE(outcome.Says("; filas: ASIGNOMT 75, ASIGT 62, AULAT 21, CURSOST 6, DIASHORAST 42, "
                           "GRUPOST 2, PROFT 15\n"))
      << outcome.out;

  // The latest by default; what it replaces is kept in turn, so the restore can be undone.
  outcome = Run({"restore", "--data-dir", Arg(data)});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.Says("Repuesta la copia 2 (las tablas de antes de la conversi\xC3\xB3n del "))
      << outcome.out;
  EXPECT_TRUE(outcome.Says("  repuesto PROFT.DBF\n")) << outcome.out;
  EXPECT_TRUE(outcome.Says("Copia de seguridad de lo sustituido: 3 ")) << outcome.out;
  EXPECT_EQ(Tables(data), afternoon);
  ASSERT_EQ(Run({"restore", "3", "--data-dir", Arg(data)}).status, 0);
  EXPECT_EQ(Tables(data), morning);

  outcome = Run({"restore", "7", "--data-dir", Arg(data)});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.err.find("No existe la copia de seguridad 7 en la carpeta " + Arg(data) +
                             ". Las copias que hay son: 1, 2, 3, 4."),
            std::string::npos)
      << outcome.err;
  EXPECT_EQ(Run({"restore", "--list", "2", "--data-dir", Arg(data)}).status, 64);
  EXPECT_EQ(Run({"restore", "cero", "--data-dir", Arg(data)}).status, 64);
  EXPECT_EQ(Tables(data), morning);
}

TEST_F(CliTest, ARunWaitsForTheRunInProgressThenGivesUpChangingNothing) {
  ASSERT_EQ(Convert().status, 0);
  const auto before = tc::test::FolderFiles(data);
  {
    // Another run holds the folder for longer than a run waits.
    auto held = tc::platform::RealFileSystem().TryLock(tc::store::RunLockFile(data), true, true);
    ASSERT_TRUE(held);
    const Outcome outcome = Convert({"--template", "VESPRA"});
    EXPECT_EQ(outcome.status, 4);
    EXPECT_NE(outcome.err.find("Otra ejecución de TransClepsaItaca está trabajando en la carpeta " +
                               Arg(data) + "; no se ha cambiado nada."),
              std::string::npos)
        << outcome.err;
  }
  EXPECT_EQ(tc::test::FolderFiles(data), before);
}

TEST_F(CliTest, TwoRunsStartedTogetherTakeTurnsAndLeaveOneWholeResult) {
  // What each run gives alone.
  std::map<std::string, std::map<std::string, std::string>> alone;
  for (const char* code : {"VESPRA", "MATI"}) {
    const fs::path folder = dir / code;
    fs::create_directory(folder);
    ASSERT_EQ(Run({"convert", Arg(kSample), "--data-dir", Arg(folder), "--template", code}).status,
              0);
    alone[code] = Tables(folder);
  }

  Outcome first, second;
  std::thread other([&] { first = Convert({"--template", "VESPRA"}); });
  second = Convert({"--template", "MATI"});
  other.join();
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(second.status, 0) << second.err;
  // The run that came second replaced the first one's tables whole, and kept them.
  const auto now = Tables(data);
  EXPECT_TRUE(now == alone["VESPRA"] || now == alone["MATI"]);
  const auto kept = tc::test::FolderFiles(data / "TransClepsaItaca" / "copias" / "0002");
  EXPECT_EQ(kept.count("generacion.txt"), 1u);
  EXPECT_EQ(kept.count("PROFT.DBF"), 1u);
}

}  // namespace
