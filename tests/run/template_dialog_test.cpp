// The time-template dialog's logic: period lines, the code's trimming, the template list in both
// modes, the language, and the slot table that export mode needs.
#include "run/template_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "itaca/document.h"
#include "run/run_state.h"
#include "store/database.h"
#include "store/schemas.h"
#include "store/table.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::W;

itaca::Document Doc(std::string_view body) {
  return itaca::Document::Parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><centro>" +
                                    std::string(body) + "</centro>",
                                "plantillas.xml");
}

std::string Period(std::string_view plantilla, std::string_view day, std::string_view order,
                   std::string_view from, std::string_view to) {
  return "<sesion_horario plantilla=\"" + std::string(plantilla) + "\" dia_semana=\"" +
         std::string(day) + "\" sesion_orden=\"" + std::string(order) + "\" hora_desde=\"" +
         std::string(from) + "\" hora_hasta=\"" + std::string(to) + "\"/>";
}

// Two templates; MATI's Monday periods 1 to 12 in scrambled order, among other days' periods
// and the other template's.
const std::string kTwoTemplates = [] {
  std::string xml =
      "<plantillas_horario>"
      "<plantilla_horario codigo=\"MATI\" descripcion_val=\"Horari de mat\xC3\xAD\" "
      "descripcion_cas=\"Horario de ma\xC3\xB1" "ana\" turno=\"M\"/>"
      "<plantilla_horario codigo=\" VESPRA \" descripcion_val=\"Vesprada\" "
      "descripcion_cas=\"Tarde\" turno=\" V \"/>"
      "</plantillas_horario><sesiones_horario>";
  for (int order : {10, 2, 12, 1, 7, 11, 3, 9, 4, 8, 5, 6}) {
    const std::string o = std::to_string(order);
    const std::string from = (order + 7 < 10 ? "0" : "") + std::to_string(order + 7) + ":00";
    const std::string to = (order + 7 < 10 ? "0" : "") + std::to_string(order + 7) + ":55";
    xml += Period("MATI", "M", o, "07:00", "07:55");
    xml += Period("MATI", "L", o, from, to);
  }
  xml += Period("VESPRA", "L", "1", "15:00", "15:55");
  xml += Period("VESPRA", "L", "2", "15:55", "16:50");
  xml += "</sesiones_horario>";
  return xml;
}();

TEST(PeriodLine, OneAndTwoDigitOrdersGiveNineteenCharacters) {
  EXPECT_EQ(PeriodLine("3", "09:50", "10:45"), " 3 de 09:50 a 10:45");
  EXPECT_EQ(PeriodLine("3", "09:50", "10:45").size(), 19u);
  EXPECT_EQ(PeriodLine("10", "16:50", "17:45"), "10 de 16:50 a 17:45");
  EXPECT_EQ(PeriodLine("10", "16:50", "17:45").size(), 19u);
}

TEST(PeriodLine, ThreeDigitOrderShiftsTheTimesAndLongerOnesAreCut) {
  const std::string line = PeriodLine("100", "09:50", "10:45");
  EXPECT_EQ(line, "100 de 09:50 a 10:45");
  EXPECT_EQ(line.substr(6, 5), " 09:5");  // columns 7 to 11, the start time of other lines
  EXPECT_EQ(PeriodLine("12345", "09:50", "10:45"), "123 de 09:50 a 10:45");
  // Times are copied as given; a one-digit hour moves the end time left.
  EXPECT_EQ(PeriodLine("1", "8:00", "8:55"), " 1 de 8:00 a 8:55");
}

TEST(TemplateCode, BlanksAndControlCharactersAreTrimmedAtBothEndsOnly) {
  EXPECT_EQ(TrimTemplateCode("  MATI\t\r\n"), "MATI");
  EXPECT_EQ(TrimTemplateCode("\x01MA TI "), "MA TI");
  EXPECT_EQ(TrimTemplateCode(" \t "), "");
  EXPECT_EQ(TrimTemplateCode(W("\u00A0MATÍ")), W("\u00A0MATÍ"));  // no-break space stays
}

TEST(TemplateDialog, ConversionModePreselectsTheFirstTemplateAndSortsItsMondayPeriods) {
  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));

  EXPECT_EQ(dialog.Codes(), (std::vector<std::string>{"MATI", "VESPRA"}));
  EXPECT_EQ(dialog.CodeText(), "MATI");
  EXPECT_EQ(dialog.Description(), W("Horari de matí"));
  EXPECT_EQ(dialog.Shift(), "M");
  EXPECT_TRUE(dialog.LanguageVisible());
  EXPECT_EQ(dialog.LanguagePrompt(), "Recoger Textos en: -------------->");
  EXPECT_EQ(dialog.Instruction(),
            "Seleccione la Plantilla Horaria que quiere aplicar a su Horario en Clepsa.");
  EXPECT_FALSE(dialog.ActivationError().has_value());

  std::vector<std::string> expected;
  for (int order = 1; order <= 12; ++order) {
    const std::string hour = (order + 7 < 10 ? "0" : "") + std::to_string(order + 7);
    expected.push_back(PeriodLine(std::to_string(order), hour + ":00", hour + ":55"));
  }
  EXPECT_EQ(dialog.PeriodLines(), expected);
  EXPECT_EQ(dialog.PeriodLines().front(), " 1 de 08:00 a 08:55");
  EXPECT_EQ(dialog.PeriodLines().back(), "12 de 19:00 a 19:55");

  const TemplateChoice choice = dialog.Result();
  EXPECT_EQ(choice.code, "MATI");
  EXPECT_EQ(choice.shift, "M");
  EXPECT_EQ(choice.period_lines, expected);
  EXPECT_EQ(choice.language, kValencian);
}

TEST(TemplateDialog, ChoosingAnotherTemplateUsesItsTrimmedCodeAndTexts) {
  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));
  dialog.SetCodeText("VESPRA");
  EXPECT_EQ(dialog.Description(), "Vesprada");
  EXPECT_EQ(dialog.Shift(), "V");
  EXPECT_EQ(dialog.PeriodLines(),
            (std::vector<std::string>{" 1 de 15:00 a 15:55", " 2 de 15:55 a 16:50"}));
}

TEST(TemplateDialog, LanguageChangesTheDescriptionAndTheResult) {
  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kCastilian));
  EXPECT_EQ(dialog.Language(), kCastilian);
  EXPECT_EQ(dialog.Description(), W("Horario de mañana"));

  dialog.SetLanguage(std::string(kValencian));
  EXPECT_EQ(dialog.Description(), W("Horari de matí"));
  // Any text but exactly VALENCIÁ reads the Castilian description.
  dialog.SetLanguage(W("valenciá"));
  EXPECT_EQ(dialog.Description(), W("Horario de mañana"));
  EXPECT_EQ(dialog.Result().language, W("valenciá"));
}

TEST(TemplateDialog, ATypedCodeMatchingNothingGivesNoShiftAndNoPeriods) {
  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));
  dialog.SetCodeText("NOCHE");
  EXPECT_EQ(dialog.Description(), "-");
  EXPECT_EQ(dialog.Shift(), "-");
  EXPECT_TRUE(dialog.PeriodLines().empty());
  EXPECT_EQ(dialog.Result().code, "NOCHE");

  EXPECT_FALSE(dialog.CanContinue());

  // The combo box's text is trimmed before it is compared, as the result is.
  dialog.SetCodeText(" MATI\t");
  EXPECT_EQ(dialog.Shift(), "M");
  EXPECT_EQ(dialog.PeriodLines().size(), 12u);
  EXPECT_EQ(dialog.Result().code, "MATI");
  EXPECT_TRUE(dialog.CanContinue());
  dialog.SetCodeText("mati");
  EXPECT_FALSE(dialog.CanContinue());
  EXPECT_EQ(dialog.NotInDocument(), W("La plantilla «mati» no está en el documento; sus "
                                      "plantillas son: MATI, VESPRA. ¿Quería decir «MATI»?"));
}

TEST(TemplateDialog, OnlyTheTwoLanguagesOfTheListInAnyLetterCaseWithOrWithoutAccent) {
  for (const char* text : {"VALENCIÁ", "valencià", "Valencia", " valenciá "}) {
    EXPECT_EQ(LanguageOf(W(text)), std::string(kValencian)) << text;
  }
  EXPECT_EQ(LanguageOf("castellano"), std::string(kCastilian));
  for (const char* text : {"INGLES", "", "VALENCIANO", "CAST"}) {
    EXPECT_FALSE(LanguageOf(W(text)).has_value()) << text;
  }
}

TEST(TemplateDialog, DuplicateCodesAreListedAndTheLastMatchGivesTheTexts) {
  const itaca::Document doc = Doc(
      "<plantillas_horario>"
      "<plantilla_horario codigo=\"P1\" descripcion_val=\"Primera\" descripcion_cas=\"Primera\" "
      "turno=\"M\"/>"
      "<plantilla_horario codigo=\"P2\" descripcion_val=\"Altra\" descripcion_cas=\"Otra\" "
      "turno=\"T\"/>"
      "<plantilla_horario codigo=\"P1\" descripcion_val=\"Segona\" descripcion_cas=\"Segunda\" "
      "turno=\"V\"/>"
      "</plantillas_horario>");
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));
  EXPECT_EQ(dialog.Codes(), (std::vector<std::string>{"P1", "P2", "P1"}));
  EXPECT_EQ(dialog.Description(), "Segona");
  EXPECT_EQ(dialog.Shift(), "V");
}

TEST(TemplateDialog, ASinglePeriodInTheDocumentGivesNoLinesAndKeepsTheList) {
  const itaca::Document doc = Doc(
      "<plantillas_horario>"
      "<plantilla_horario codigo=\"A\" descripcion_val=\"a\" descripcion_cas=\"a\" turno=\"M\"/>"
      "</plantillas_horario><sesiones_horario>" +
      Period("A", "L", "1", "08:00", "08:55") + "</sesiones_horario>");
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));
  EXPECT_EQ(dialog.Codes(), std::vector<std::string>{"A"});
  EXPECT_EQ(dialog.Shift(), "M");
  EXPECT_TRUE(dialog.PeriodLines().empty());
}

TEST(TemplateDialog, PeriodsOnOtherDaysOnlyGiveAnEmptyList) {
  const itaca::Document doc = Doc(
      "<plantillas_horario>"
      "<plantilla_horario codigo=\"S\" descripcion_val=\"s\" descripcion_cas=\"s\" turno=\"M\"/>"
      "</plantillas_horario><sesiones_horario>" +
      Period("S", "M", "1", "08:00", "08:55") + Period("S", "S", "2", "08:55", "09:50") +
      Period("S", "l", "3", "09:50", "10:45") + "</sesiones_horario>");
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));
  EXPECT_TRUE(dialog.PeriodLines().empty());
}

TEST(TemplateDialog, ADocumentWithoutTemplatesOffersNothing) {
  const itaca::Document doc = Doc("<docentes/>");
  TemplateDialog dialog(doc, TemplateDialogMode::Conversion, std::string(kValencian));
  EXPECT_TRUE(dialog.Codes().empty());
  EXPECT_EQ(dialog.Result().code, "");
  EXPECT_EQ(dialog.Result().shift, "-");
}

TEST(TemplateDialog, ExportModePreselectsNothingAndHidesTheLanguage) {
  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Export, std::string(kCastilian));
  EXPECT_EQ(dialog.Mode(), TemplateDialogMode::Export);
  EXPECT_FALSE(dialog.LanguageVisible());
  EXPECT_EQ(dialog.LanguagePrompt(), W("EXPORTACIÓN A ITACA"));
  EXPECT_EQ(dialog.Instruction(),
            "Seleccione la Plantilla Horaria que quiere aplicar para Exportar su Horario a ITACA.");
  EXPECT_EQ(dialog.Codes(), (std::vector<std::string>{"MATI", "VESPRA"}));
  EXPECT_EQ(dialog.CodeText(), "");
  EXPECT_EQ(dialog.Shift(), "-");
  EXPECT_TRUE(dialog.PeriodLines().empty());
  EXPECT_FALSE(dialog.CanContinue());

  const TemplateChoice closed_at_once = dialog.Result();
  EXPECT_EQ(closed_at_once.code, "");
  EXPECT_TRUE(closed_at_once.period_lines.empty());

  dialog.SetCodeText("MATI");
  EXPECT_EQ(dialog.Result().period_lines.size(), 12u);
  EXPECT_TRUE(dialog.CanContinue());

  // The last conversion's template is preselected when the document has it.
  TemplateDialog after(doc, TemplateDialogMode::Export, std::string(kCastilian), nullptr, "VESPRA");
  EXPECT_EQ(after.CodeText(), "VESPRA");
  EXPECT_EQ(after.Shift(), "V");
  EXPECT_TRUE(after.CanContinue());
  EXPECT_EQ(TemplateDialog(doc, TemplateDialogMode::Export, "", nullptr, "NOCHE").CodeText(), "");
}

TEST(TemplateDialog, ExportModeWithoutASlotTableOffersNoTemplate) {
  test::TempDir dir;
  store::Database db(dir.path());
  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Export, std::string(kValencian), &db);

  ASSERT_TRUE(dialog.ActivationError().has_value());
  EXPECT_NE(std::string(dialog.ActivationError()->what()).find("DIASHORAST"), std::string::npos)
      << dialog.ActivationError()->what();
  EXPECT_TRUE(dialog.Codes().empty());
  EXPECT_TRUE(dialog.PeriodLines().empty());
  // Even a typed code finds nothing to show; closing yields it, as the combo box would.
  EXPECT_EQ(dialog.Result().code, "");
  EXPECT_EQ(dialog.LanguagePrompt(), W("EXPORTACIÓN A ITACA"));
}

TEST(TemplateDialog, ExportModeOpensTheSlotTableAndReleasesIt) {
  test::TempDir dir;
  store::Database db(dir.path());
  db.Recreate(store::DiashorastTable()).Close();
  const std::string before = test::ReadFile(db.TablePath("DIASHORAST"));

  const itaca::Document doc = Doc(kTwoTemplates);
  TemplateDialog dialog(doc, TemplateDialogMode::Export, std::string(kValencian), &db);
  EXPECT_FALSE(dialog.ActivationError().has_value());
  EXPECT_EQ(dialog.Codes(), (std::vector<std::string>{"MATI", "VESPRA"}));

  // Closed again at the end of the activation: an exclusive open succeeds, the file is unchanged.
  store::Table again = db.Open("DIASHORAST", store::OpenMode::Exclusive);
  again.Close();
  EXPECT_EQ(test::ReadFile(db.TablePath("DIASHORAST")), before);
}

// The listing the command line prints: each template as the dialog shows it once chosen, from a
// file; the language is checked only once the file is there and read.
TEST(DocumentTemplates, EachTemplateAsChosenInTheLanguageNamedAfterTheFileIsRead) {
  test::TempDir dir;
  const std::filesystem::path file = dir / "plantillas.xml";
  test::WriteFile(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><centro>" + kTwoTemplates +
                            "</centro>");
  const std::optional<TemplateList> list = DocumentTemplates(file, std::string("castellano"));
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->language, std::string(kCastilian));
  ASSERT_EQ(list->templates.size(), 2u);
  EXPECT_EQ(list->templates[0].code, "MATI");
  EXPECT_EQ(list->templates[0].description, W("Horario de mañana"));
  EXPECT_EQ(list->templates[0].shift, "M");
  EXPECT_EQ(list->templates[0].period_lines.size(), 12u);
  EXPECT_EQ(list->templates[0].period_lines.front(), " 1 de 08:00 a 08:55");
  EXPECT_EQ(list->templates[1].code, "VESPRA");
  EXPECT_EQ(list->templates[1].description, "Tarde");
  EXPECT_EQ(list->templates[1].period_lines,
            (std::vector<std::string>{" 1 de 15:00 a 15:55", " 2 de 15:55 a 16:50"}));
  EXPECT_EQ(DocumentTemplates(file, std::nullopt)->language, std::string(kValencian));

  try {
    DocumentTemplates(file, std::string("INGLES"));
    ADD_FAILURE() << "a language not in the list was taken";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::Usage);
    EXPECT_EQ(std::string(error.what()),
              W("El idioma «INGLES» no es ninguno de los de la lista: VALENCIÁ o CASTELLANO."));
  }
  // No file, or a folder, is a missing input whatever the language.
  EXPECT_FALSE(DocumentTemplates(dir / "no.xml", std::string("INGLES")).has_value());
  EXPECT_FALSE(DocumentTemplates(dir.path(), std::nullopt).has_value());
  EXPECT_FALSE(DocumentTemplates({}, std::nullopt).has_value());
}

}  // namespace
}  // namespace tc
