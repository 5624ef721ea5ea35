// Both directions run from the main window with a scripted user: the windows and messages of a
// run, the buttons and the outcome afterwards, the hourglass, and errors.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>

#include "app/main_form.h"
#include "app_testing.h"
#include "run/conversion_run.h"
#include "support/scripted_interaction.h"
#include "support/test_support.h"

namespace tc::app {
namespace {

namespace fs = std::filesystem;

// The two questions of a conversion as the user reads them.
const QString kMultiTemplateQuestion =
    QString(7, u' ') + u8"!!! I M P O R T A N T E !!!  ¿Importar Datos de todas las Plantillas?\n" +
    QString(7, u' ') + QString(39, u'=') + QString(4, u' ') +
    "\nSe han encontrado Datos que pueden pertenecer a varias Plantillas Horarias."
    "\nRECOMENDAMOS IMPORTAR SOLAMENTE LOS DATOS PERTENECIENTES A UNA SOLA PLANTILLA."
    u8"\nSi quiere Importar los Datos de todas las Plantillas Pulse el Botón \"Sí\"."
    u8"\nPara Importar solo los Datos de la Plantilla seleccionada,Pulse el Botón \"No\".\n" +
    QString(88, u'-') +
    "\n(RECOMENDAMOS Pulsar \"No\", y trabajar solo con datos de una Plantilla.)\n" +
    QString(88, u'-');
const QString kPruneQuestion =
    QString(23, u' ') + "!!! I M P O R T A N T E !!!" + QString(25, u' ') +
    "\nExisten Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla."
    u8"\nTanto, QUITAR como DEJAR estos Grupos y Profesores, No afectará al Horario."
    u8"\n¿Quieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?.";

class Run : public testing::Test {
 protected:
  void Start(const QStringList& arguments = {}) {
    form = std::make_unique<TMForm>(arguments, user.Runner());
    user.ui = &form->UserInteraction();
    // No browser in the tests: the page is noted and the text is shown instead.
    user.ui->SetPageOpener([this](const fs::path& page) {
      user.report_page = page;
      return false;
    });
    form->SetWorkingFolder(dir.path());
    form->SetOutcomeFile(ini);
    form->Session().SetSettingsFile(dir / "TransClepsaItaca.ini");
    form->show();
  }
  QPushButton* Button(const char* name) { return test::Child<QPushButton>(*form, name); }
  bool BothEnabled() { return Button("BExportar")->isEnabled() && Button("BImportar")->isEnabled(); }
  std::string Outcome() { return fs::exists(ini) ? test::ReadFile(ini) : "(none)"; }

  test::TempDir dir;
  fs::path ini = dir / "Clepsa.ini";
  test::ScriptedUser user;
  std::unique_ptr<TMForm> form;
};

TEST_F(Run, ConversionAsksItsQuestionsAndAllowsNoSecondRun) {
  user.file = test::SampleSchool();
  user.answers = {false, true};  // only the chosen template; remove idle groups and teachers
  Start();
  Button("BExportar")->click();

  ASSERT_GE(user.shown.size(), 5u);
  EXPECT_EQ(user.shown[0].kind, "file");
  EXPECT_EQ(user.shown[1].text, "TPlantillas");
  EXPECT_EQ(user.Texts(), QStringList({kMultiTemplateQuestion, kPruneQuestion,
                                       "Proceso finalizado"}));
  // The questions come while the stages work; the pointer over them is the normal one.
  for (int i : {2, 3}) {
    EXPECT_EQ(user.shown[i].icon, QMessageBox::Question);
    EXPECT_TRUE(user.shown[i].hourglass);
    EXPECT_EQ(user.shown[i].cursor, Qt::ArrowCursor);
  }
  // Before the tables are replaced, the offer to see the changes (declined here).
  EXPECT_EQ(user.shown[4].text, "TPreguntaVistaPrevia");
  EXPECT_TRUE(user.shown[4].hourglass);
  EXPECT_FALSE(user.shown[5].hourglass);  // "Proceso finalizado" after the normal cursor
  EXPECT_EQ(user.shown[5].buttons, QStringList({"Ver informe", "Deshacer", "Abrir la carpeta",
                                                "Aceptar"}));

  EXPECT_EQ(form->State().OutcomeCode, 1);
  EXPECT_FALSE(Button("BExportar")->isEnabled());
  EXPECT_FALSE(Button("BImportar")->isEnabled());
  EXPECT_TRUE(form->isVisible());  // standalone: the window stays
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(test::Child<QListWidget>(*form, "ListBoxPlanti")->count(), 7);
  form->close();
  EXPECT_EQ(Outcome(), "(none)");  // standalone: nothing written
}

TEST_F(Run, ThePreviewCanBeSeenDeclinedOrTurnedOffAndTheReportSeenAfterwards) {
  // Seen and declined: nothing changes, no message, the window stays as it was.
  user.file = test::SampleSchool();
  user.see_changes = true;
  user.approve_changes = false;
  Start();
  Button("BExportar")->click();
  EXPECT_NE(user.preview_text.indexOf("PROFT"), -1) << user.preview_text.toStdString();
  EXPECT_FALSE(fs::exists(dir / "PROFT.DBF"));
  EXPECT_FALSE(user.Texts().contains("Proceso finalizado"));
  EXPECT_TRUE(BothEnabled());
  EXPECT_EQ(form->State().OutcomeCode, 0);

  // Not asked again once turned off; the report after "Proceso finalizado".
  user.shown.clear();
  user.see_changes = false;
  user.dont_ask_again = true;
  user.view_report = true;
  Button("BExportar")->click();
  EXPECT_TRUE(fs::exists(dir / "PROFT.DBF"));
  EXPECT_NE(user.report_text.indexOf("codigo_numerado"), -1) << user.report_text.toStdString();
  // Its page, kept with the backup even of a first conversion, was offered to the browser.
  EXPECT_EQ(user.report_page, dir / "TransClepsaItaca" / "copias" / "0001" / "informe.html");
  EXPECT_EQ(form->Session().AskPreview(), false);
  EXPECT_NE(test::ReadFile(dir / "TransClepsaItaca.ini").find("PreguntarVistaPrevia=0"),
            std::string::npos);
}

TEST_F(Run, MissingInputStandaloneLeavesEverythingOpen) {
  user.file = dir / "no-esta.xml";
  Start();
  Button("BExportar")->click();
  Button("BImportar")->click();
  EXPECT_EQ(user.Texts(), QStringList({"No existe archivo",
                                       u8"Deberá Abrir el fichero XML de ITACA,\ndesde el cual "
                                       u8"realizó la Importación a Clepsa",
                                       u8"No existe archivo XML o Solución."}));
  EXPECT_EQ(form->State().OutcomeCode, 0);
  EXPECT_TRUE(BothEnabled());
  EXPECT_TRUE(form->isVisible());
}

// Cancel, Escape and the close box never go on: hosted, the window stays with the outcome 0.
TEST_F(Run, KeysThatStopARunChangeNothing) {
  Start({"exportar", "0"});
  Button("BExportar")->click();  // Cancel in the file dialog: nothing else is shown
  EXPECT_EQ(user.shown.size(), 1u);
  EXPECT_EQ(user.shown[0].kind, "file");

  user.file = test::SampleSchool();
  user.escape = {"TPlantillas"};
  Button("BExportar")->click();
  EXPECT_EQ(user.Texts("dialog"), QStringList({"TPlantillas"}));
  EXPECT_TRUE(user.Texts().isEmpty());

  // Escape at the preview question, then in the preview window: "No se ha cambiado nada".
  for (const QString& window :
       {QStringLiteral("TPreguntaVistaPrevia"), QStringLiteral("TVistaPrevia")}) {
    user.shown.clear();
    user.escape = {window};
    user.see_changes = true;
    user.answers = {false, true};
    Button("BExportar")->click();
    EXPECT_EQ(user.Texts().back(), "No se ha cambiado nada") << window.toStdString();
    EXPECT_FALSE(fs::exists(dir / "PROFT.DBF"));
  }
  EXPECT_TRUE(BothEnabled());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->State().OutcomeCode, 0);
  form->close();
  EXPECT_EQ(Outcome(), "[Transformadores]\r\nTransformado=0\r\n");
}

// Enter at the multi-template question answers its default, "No": only the chosen template.
TEST_F(Run, EnterAtTheMultiTemplateQuestionTakesOnlyTheChosenTemplate) {
  user.file = test::SampleSchool();
  user.enter = {"question"};
  Start();
  Button("BExportar")->click();
  ASSERT_GE(user.shown.size(), 3u);
  EXPECT_EQ(user.shown[2].text, kMultiTemplateQuestion);
  EXPECT_EQ(user.shown[2].default_button, "No");
  ASSERT_TRUE(form->Session().LastConversion().has_value());
  EXPECT_EQ(form->Session().LastConversion()->templates, TemplatesTaken::OnlySelected);
  EXPECT_EQ(user.Texts().back(), "Proceso finalizado");
}

TEST_F(Run, ErrorsEndTheRunInTheErrorBoxAndChangeNothingElse) {
  test::WriteFile(dir / "roto.xml", "<centro><docentes>");
  user.file = dir / "roto.xml";
  Start({"exportar", "0"});
  Button("BExportar")->click();
  ASSERT_EQ(user.Texts().size(), 1);
  EXPECT_EQ(user.shown.back().icon, QMessageBox::Critical);
  EXPECT_TRUE(user.shown.back().text.contains("roto.xml")) << user.shown.back().text.toStdString();

  // A failure while the stages work (the working folder is gone): the hourglass goes too.
  user.file = test::SampleSchool();
  form->SetWorkingFolder(dir / "no-existe");
  Button("BExportar")->click();
  EXPECT_EQ(user.shown.back().icon, QMessageBox::Critical);
  EXPECT_FALSE(form->UserInteraction().Busy());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(form->State().OutcomeCode, 0);
  EXPECT_TRUE(BothEnabled());
  EXPECT_TRUE(form->isVisible());  // hosted too: an error does not close the window
}

TEST_F(Run, HostedExportWritesTheResultReportsOneAndCloses) {
  // The working tables of a conversion of the same file, and an empty solution.
  const fs::path school = dir / "centro.xml";
  fs::copy_file(test::SampleSchool(), school);
  test::ScriptedInteraction scripted;
  scripted.file = school;
  RunState state;
  ASSERT_EQ(RunConversion(state, scripted, dir.path()).result, RunResult::Completed);
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                dir / "SOLUC.DBF");

  user.file = school;
  user.on_dialog = [](QDialog& dialog) {
    if (dialog.objectName() == "TPlantillas") {
      test::Child<QComboBox>(dialog, "ComboBoxPlantilla")->setCurrentText("MATI");
    } else {
      test::Child<QComboBox>(dialog, "ComboBoxCurso")->setEditText("2025");
    }
  };
  Start({"importar", "0"});
  Button("BImportar")->click();

  EXPECT_EQ(user.Texts("dialog"), QStringList({"TPlantillas", "TCurExp"}));
  EXPECT_EQ(user.Texts().back(), "Proceso finalizado");
  EXPECT_EQ(form->State().SelectedTemplateCode, "MATI");
  EXPECT_FALSE(Button("BImportar")->isEnabled());
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(Outcome(), "[Transformadores]\r\nTransformado=1\r\n");
  const std::string written = test::ReadFile(dir / "ResultadoClepsacentro.xml");
  EXPECT_NE(written.find("curso=\"2025\""), std::string::npos);
}

// The top-level files of a folder (our own folder left out).
std::map<std::string, std::string> Clepsa(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& [name, bytes] : test::FolderFiles(folder)) {
    if (name.find('/') == std::string::npos) files[name] = bytes;
  }
  return files;
}

TEST_F(Run, TheSummarySaysWhatTheRunDidAndDeshacerPutsTheFolderBackAsItWas) {
  user.file = test::SampleSchool();
  user.answers = {false, true};
  Start();
  Button("BExportar")->click();
  const auto before = Clepsa(dir.path());
  ASSERT_FALSE(before.empty());

  // A second start converts again, in Castilian, and undoes it from "Proceso finalizado".
  user.answers = {false, true, true};  // the run's two questions, then "Reponer": Sí
  user.undo = true;
  user.shown.clear();
  Start();
  test::Child<QComboBox>(*form, "ComboBoxValCast")->setEditText("CASTELLANO");
  Button("BExportar")->click();
  const ConversionResult& result = *form->Session().LastConversion();
  for (const TableRows& table : result.tables) {
    const QString line = "  " + QString::fromStdString(table.table).leftJustified(12) +
                         QString::number(table.rows) + " filas\n";
    EXPECT_TRUE(user.summary_text.contains(line)) << line.toStdString();
  }
  EXPECT_TRUE(user.summary_text.contains("Idioma: " + FromCore(result.language) + "\n"));
  EXPECT_TRUE(user.summary_text.contains(
      u8"Copia de seguridad de lo sustituido: 2 (\"Deshacer\" la repone; todas están en "
      "\"Copias de seguridad\")"))
      << user.summary_text.toStdString();
  ASSERT_GE(user.shown.size(), 2u);
  const test::ShownWindow& question = user.shown[user.shown.size() - 2];
  EXPECT_TRUE(question.text.startsWith(u8"¿Reponer la copia de seguridad 2?"))
      << question.text.toStdString();
  EXPECT_EQ(question.default_button, "No");  // the safe answer
  EXPECT_TRUE(user.shown.back().text.startsWith("Repuesta la copia 2 "));
  EXPECT_EQ(Clepsa(dir.path()), before);

  // Where the user stands; the backups window lists the three backups, newest first, and
  // "Reponer" answered No (the default) changes nothing.
  const QString situation = test::Child<QLabel>(*form, "LabelSituacion")->text();
  EXPECT_TRUE(situation.startsWith("Carpeta de trabajo: " + NativePath(dir.path()) + "\n"))
      << situation.toStdString();
  EXPECT_TRUE(situation.contains(
      u8"Última conversión: 46999901 IES Mestra Vicenta Forner, ies_exemple.xml, plantilla MATI, "))
      << situation.toStdString();
  EXPECT_TRUE(situation.contains(u8"SOLUC: no está"));
  EXPECT_TRUE(Button("BDeshacerUltima")->isEnabled());
  QStringList listed;
  QString detail;
  user.on_backups = [&](QDialog& dialog) {
    auto* list = test::Child<QListWidget>(dialog, "ListaCopias");
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    detail = test::Child<QPlainTextEdit>(dialog, "Detalle")->toPlainText();
    test::Child<QPushButton>(dialog, "BReponer")->click();
  };
  Button("BCopias")->click();
  ASSERT_EQ(listed.size(), 3);
  EXPECT_TRUE(listed[0].startsWith("3  ") && listed[0].contains(u8"  restauración  copia 0002 "))
      << listed[0].toStdString();
  EXPECT_TRUE(listed[2].startsWith("1  ")) << listed[2].toStdString();
  EXPECT_TRUE(detail.contains("Filas guardadas: ASIGNOMT 75, ")) << detail.toStdString();
  EXPECT_EQ(Clepsa(dir.path()), before);
}

}  // namespace
}  // namespace tc::app
