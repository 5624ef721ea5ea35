// The template and school-year dialogs, the message boxes and the file dialog.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "app/qt_interaction.h"
#include "app/school_year_form.h"
#include "app/template_form.h"
#include "app_testing.h"
#include "itaca/document.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"
#include "store/database.h"
#include "store/schemas.h"
#include "support/test_support.h"

namespace tc::app {
namespace {

using test::Child;
using test::ScriptedUser;

QString Text(const QWidget& parent, const char* name) { return Child<QLabel>(parent, name)->text(); }

QColor Colour(const QWidget& parent, const char* name) {
  return Child<QWidget>(parent, name)->palette().color(QPalette::WindowText);
}

QStringList Lines(const QWidget& parent) {
  QStringList lines;
  const auto* list = Child<QListWidget>(parent, "ListBox1");
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

constexpr char kTemplatesXml[] = R"(<centro codigo="1" denominacion="d" curso="2024" version="1">
  <plantillas_horario>
    <plantilla_horario codigo=" MATI " descripcion_val="Matí" descripcion_cas="Mañana" turno="M"/>
    <plantilla_horario codigo="TARDE" descripcion_val="Vesprada" descripcion_cas="Tarde" turno="T"/>
  </plantillas_horario>
  <sesiones_horario>
    <sesion_horario plantilla="MATI" dia_semana="L" sesion_orden="10" hora_desde="13:00" hora_hasta="13:55"/>
    <sesion_horario plantilla="MATI" dia_semana="L" sesion_orden="3" hora_desde="09:50" hora_hasta="10:45"/>
    <sesion_horario plantilla="MATI" dia_semana="M" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
    <sesion_horario plantilla="TARDE" dia_semana="L" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55"/>
  </sesiones_horario>
</centro>)";

TEST(TemplateDialogWindow, ConversionModeOffersLanguageAndFirstTemplate) {
  const itaca::Document document = itaca::Document::Parse(kTemplatesXml);
  TemplateDialog logic(document, TemplateDialogMode::Conversion, std::string(kValencian));
  TPlantillas form(logic);
  EXPECT_EQ(form.windowTitle(), "Plantillas Horarias");
  EXPECT_EQ(form.size(), QSize(385, 304));
  EXPECT_EQ(form.pos(), QPoint(444, 334));
  EXPECT_NE(form.minimumSize(), form.maximumSize());  // sizeable
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                     Qt::WindowContextHelpButtonHint));
  EXPECT_EQ(HelpContextOf(&form), 1);

  EXPECT_EQ(Text(form, "Label9"), "Recoger Textos en: -------------->");
  EXPECT_EQ(Colour(form, "Label9"), QColor(Qt::red));
  EXPECT_EQ(Text(form, "LabelPlantillas"),
            "Seleccione la Plantilla Horaria que quiere aplicar a su Horario en Clepsa.");
  EXPECT_EQ(Child<QLabel>(form, "LabelPlantillas")->font().pixelSize(), 13);
  EXPECT_EQ(QStringList({Text(form, "Label1"), Text(form, "Label3"), Text(form, "Label2")}),
            QStringList({"HORAS", "Horario:", "Turno:"}));
  EXPECT_EQ(Child<QPushButton>(form, "BitBtnContinuar")->text(), "Continuar");
  auto* codes = Child<QComboBox>(form, "ComboBoxPlantilla");
  EXPECT_EQ(codes->palette().color(QPalette::Base), QColor(Qt::yellow));
  EXPECT_EQ(codes->completer(), nullptr);
  EXPECT_EQ(codes->count(), 2);
  EXPECT_EQ(codes->currentText(), "MATI");
  EXPECT_FALSE(Child<QWidget>(form, "ComboBoxValCast")->isHidden());
  EXPECT_EQ(Text(form, "LabelNombre"), u8"Matí");
  EXPECT_EQ(Text(form, "LabelTurno"), "M");
  EXPECT_EQ(Lines(form), QStringList({" 3 de 09:50 a 10:45", "10 de 13:00 a 13:55"}));

  // The language changes the description; a code that is no template's shows "-" and no lines.
  Child<QComboBox>(form, "ComboBoxValCast")->setCurrentIndex(1);
  EXPECT_EQ(Text(form, "LabelNombre"), u8"Mañana");
  auto* next = Child<QPushButton>(form, "BitBtnContinuar");
  EXPECT_TRUE(next->isEnabled());
  QTest::keyClicks(codes->lineEdit(), "X");
  EXPECT_EQ(Text(form, "LabelTurno"), "-");
  EXPECT_TRUE(Lines(form).isEmpty());
  EXPECT_FALSE(next->isEnabled());  // no template has that code
  codes->setEditText(" MATI ");     // blanks around it are not part of it
  EXPECT_TRUE(next->isEnabled());
  EXPECT_FALSE(Child<QComboBox>(form, "ComboBoxValCast")->isEditable());  // a pick list

  codes->setCurrentIndex(1);
  EXPECT_EQ(logic.Result().code, "TARDE");
  EXPECT_EQ(logic.Result().language, "CASTELLANO");
}

TEST(TemplateDialogWindow, ExportModeHidesTheLanguageAndPreselectsNothing) {
  const itaca::Document document = itaca::Document::Parse(kTemplatesXml);
  test::TempDir dir;
  store::Database db(dir.path());
  db.Recreate(store::DiashorastTable()).Close();
  TemplateDialog logic(document, TemplateDialogMode::Export, std::string(kValencian), &db);
  TPlantillas form(logic);
  EXPECT_EQ(Text(form, "Label9"), u8"EXPORTACIÓN A ITACA");
  EXPECT_TRUE(Child<QWidget>(form, "ComboBoxValCast")->isHidden());
  EXPECT_EQ(Text(form, "LabelPlantillas"),
            "Seleccione la Plantilla Horaria que quiere aplicar para Exportar su Horario a ITACA.");
  EXPECT_EQ(Child<QComboBox>(form, "ComboBoxPlantilla")->count(), 2);
  EXPECT_EQ(Child<QComboBox>(form, "ComboBoxPlantilla")->currentText(), "");
  EXPECT_EQ(Text(form, "LabelTurno"), "-");
  EXPECT_TRUE(Lines(form).isEmpty());
  // Nothing chosen: "Continuar" is disabled and Enter does nothing; Escape ends the dialog.
  auto* next = Child<QPushButton>(form, "BitBtnContinuar");
  EXPECT_FALSE(next->isEnabled());
  form.show();
  QTest::keyClick(&form, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST(SchoolYearWindow, ShowsTheFileYearUntilTheComboChanges) {
  SchoolYearDialog logic("2024", 2026);
  TCurExp form(logic);
  EXPECT_EQ(form.windowTitle(), "Curso de destino");
  EXPECT_EQ(form.size(), QSize(396, 177));
  EXPECT_EQ(Text(form, "LabelCurso"),
            "Seleccione el Curso para el que quiere Exportar el Resultado del Horario.");
  EXPECT_EQ(Text(form, "LabelCurSelected"), "Curso seleccionado actualmente:");
  EXPECT_EQ(Colour(form, "LabelCurSelected"), QColor(Qt::blue));
  EXPECT_EQ(Text(form, "LabelSeleccion"), u8"Curso para el que se efectuará la Exportación:");
  EXPECT_EQ(Colour(form, "LabelSeleccion"), QColor(Qt::red));
  EXPECT_EQ(Colour(form, "LabelCurActual"), QColor(Qt::red));
  EXPECT_GT(Child<QLabel>(form, "LabelCurActual")->font().pixelSize(),
            Child<QLabel>(form, "LabelCurso")->font().pixelSize());
  EXPECT_EQ(Text(form, "LabelCurActual"), "2024");

  // The document's year, the two before and after it, and this year.
  auto* years = Child<QComboBox>(form, "ComboBoxCurso");
  EXPECT_EQ(years->currentText(), "");
  QStringList listed;
  for (int i = 0; i < years->count(); ++i) listed << years->itemText(i);
  EXPECT_EQ(listed, QStringList({"2022", "2023", "2024", "2025", "2026"}));
  auto* next = Child<QPushButton>(form, "BitBtnContinuar");
  form.show();
  years->setCurrentIndex(3);
  EXPECT_EQ(Text(form, "LabelCurActual"), "2025");
  EXPECT_TRUE(next->isEnabled());
  years->lineEdit()->clear();
  QTest::keyClicks(years->lineEdit(), "2031/32");  // not a year of four digits
  EXPECT_EQ(Text(form, "LabelCurActual"), "2031/32");
  EXPECT_FALSE(next->isEnabled());
  form.close();
  EXPECT_EQ(logic.Close(), "2024");  // closed: the document's year
}

TEST(Messages, BoxesAndFileDialogShowTheirTextsIconsAndButtons) {
  test::TempDir dir;
  ScriptedUser user;
  QtInteraction ui(nullptr, user.Runner());
  ui.Inform(Notice::OpenItacaFile);
  user.answers = {true, false};
  EXPECT_TRUE(ui.ConfirmText("\xBFSeguir?"));
  EXPECT_FALSE(ui.Confirm(Question::ImportAllTemplates));
  ui.ShowError(Error("La tabla PROFT est\xE1 abierta en otro programa"));
  ui.ShowError(Error("Fin (2)"));
  EXPECT_FALSE(ui.ChooseItacaFile().has_value());  // cancelled
  user.file = dir / "centro.xml";
  EXPECT_EQ(ui.ChooseItacaFile(), dir / "centro.xml");

  ASSERT_EQ(user.shown.size(), 7u);
  // The question that advises against Yes has No as its default; a guard's too.
  EXPECT_EQ(user.shown[1].default_button, u8"Sí");
  EXPECT_EQ(user.shown[2].default_button, "No");
  for (const auto& window : user.shown) {
    EXPECT_EQ(window.title, window.kind == "file" ? "Archivo XML" : "TransClepsaItaca");
  }
  EXPECT_EQ(user.shown[0].icon, QMessageBox::Information);
  EXPECT_EQ(user.shown[0].text,
            u8"Deberá Abrir el fichero XML de ITACA,\ndesde el cual realizó la Importación a Clepsa");
  EXPECT_EQ(user.shown[0].buttons, QStringList({"Aceptar"}));
  EXPECT_EQ(user.shown[1].icon, QMessageBox::Question);
  EXPECT_EQ(user.shown[1].text, u8"¿Seguir?");
  EXPECT_EQ(user.shown[1].buttons, QStringList({u8"Sí", "No"}));
  EXPECT_EQ(user.shown[3].icon, QMessageBox::Critical);
  EXPECT_EQ(user.shown[3].buttons, QStringList({"Aceptar"}));
  EXPECT_EQ(user.shown[3].text, u8"La tabla PROFT está abierta en otro programa.");
  EXPECT_EQ(user.shown[4].text, "Fin (2)");  // ends in punctuation: no full stop added
  EXPECT_EQ(user.shown[5].text, "*.xml|xml");  // filter and default extension

  // Closing a question with its close box answers No.
  QtInteraction closing(nullptr, [](QDialog& box) {
    box.close();
    return box.result();
  });
  EXPECT_FALSE(closing.ConfirmText("\xBFSeguir?"));
  user.shown.clear();
  user.enter = {"question"};
  EXPECT_FALSE(ui.GoOnDespite(Guard{GuardKind::ExportOtherTemplate, "Otra plantilla."}));
  EXPECT_EQ(user.shown.back().text, u8"Otra plantilla.\n\n¿Quiere continuar de todos modos?");
  EXPECT_EQ(user.shown.back().default_button, "No");
  EXPECT_FALSE(ui.Confirm(Question::ImportAllTemplates));  // Enter: No
  EXPECT_TRUE(ui.Confirm(Question::RemoveIdleGroupsAndTeachers));  // Enter: Yes
}

}  // namespace
}  // namespace tc::app
