// The main window: layout and texts, the command line, the panels kept when hosted, the outcome
// written on closing, and help.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/gradient_panel.h"
#include "app/help_system.h"
#include "app/main_form.h"
#include "app_testing.h"
#include "support/test_support.h"

namespace tc::app {
namespace {

using test::Child;

// Colours painted by a gradient may be off by one from its stops.
bool Near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
         std::abs(a.blue() - b.blue()) <= 2;
}

TEST(MainWindow, LayoutTextsAndColoursStandalone) {
  TMForm form({});
  EXPECT_EQ(form.windowTitle(), "Exportar e importar datos entre Clepsa e ITACA");
  EXPECT_EQ(form.size(), QSize(632, 266));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.State().EmbeddedRun);

  struct Panel { const char* name; QRect geometry; QColor start, middle, end; };
  for (const Panel& panel : {Panel{"Draw3D2", {0, 0, 315, 169}, 0xF9D37D, Qt::white, 0xFFEEDD},
                             Panel{"Draw3D3", {316, 0, 317, 169}, 0xF9D37D, Qt::white, 0xFFEEDD},
                             Panel{"Draw3D1", {0, 168, 633, 97}, 0xC2CDFE, 0xCFF2FE, 0xCCD8E6}}) {
    auto* shown = Child<GradientPanel>(form, panel.name);
    EXPECT_EQ(shown->geometry(), panel.geometry) << panel.name;
    // Painted from the start colour at the top edge to the end colour at the bottom edge.
    const QImage image = shown->grab().toImage();
    EXPECT_TRUE(Near(image.pixel(300, 0), panel.start)) << panel.name;
    EXPECT_TRUE(Near(image.pixel(300, image.height() / 2), panel.middle)) << panel.name;
    EXPECT_TRUE(Near(image.pixel(300, image.height() - 1), panel.end)) << panel.name;
  }

  const std::pair<const char*, QString> texts[] = {
      {"LabelExportar", "Transformar datos desde ITACA hacia Clepsa "},
      {"LabelImportar", "Transformar datos desde Clepsa hacia ITACA"},
      {"Label9", "Recoger Textos en:"}, {"Label1", "TransClepsaITACA para PX17 V-1.0"},
      {"BExportar", "OK"}, {"BImportar", "OK"}, {"BClose", "&Salir"}, {"Button1", "F1 Ayuda"}};
  for (const auto& [name, text] : texts) {
    const QWidget* widget = Child<QWidget>(form, name);
    const auto* label = qobject_cast<const QLabel*>(widget);
    EXPECT_EQ(label ? label->text() : qobject_cast<const QPushButton*>(widget)->text(), text);
  }
  const QFont heading = Child<QLabel>(form, "LabelExportar")->font();
  EXPECT_EQ(heading.families().value(0), "Arial");
  EXPECT_EQ(heading.pixelSize(), 16);
  EXPECT_TRUE(heading.bold());
  for (const char* name : {"Label9", "Label1"}) {
    EXPECT_EQ(Child<QLabel>(form, name)->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(Child<QLabel>(form, name)->font().bold());
  }
  const auto* language = Child<QComboBox>(form, "ComboBoxValCast");
  EXPECT_FALSE(language->isEditable());  // a pick list: only the two languages
  EXPECT_EQ(language->currentText(), u8"VALENCIÁ");
  EXPECT_EQ(language->itemText(1), "CASTELLANO");
  EXPECT_TRUE(Child<QWidget>(form, "ListBoxPlanti")->isHidden());

  // F1 finds the help context of the control or of its panel.
  EXPECT_EQ(FocusedHelpContext(Child<QWidget>(form, "Button1")), 1);
  EXPECT_EQ(FocusedHelpContext(Child<QWidget>(form, "LabelImportar")), 3);
}

TEST(CommandLine, BadHandleShowsTheErrorAndStartsStandalone) {
  test::ScriptedUser user;
  TMForm form({"importar", "XYZ"}, user.Runner());
  ASSERT_EQ(user.shown.size(), 1u);
  EXPECT_EQ(user.shown[0].icon, QMessageBox::Critical);
  EXPECT_EQ(user.shown[0].title, "TransClepsaItaca");
  EXPECT_EQ(user.shown[0].text, u8"'$XYZ' no es un valor entero válido.");
  EXPECT_FALSE(form.State().EmbeddedRun);
  EXPECT_FALSE(Child<QWidget>(form, "Draw3D2")->isHidden());
  EXPECT_FALSE(Child<QWidget>(form, "Draw3D3")->isHidden());
}

TEST(Hosted, OnePanelFillsTheWindowAndClosingWritesTheOutcome) {
  TMForm importar({"IMPORTAR", "0"});
  EXPECT_TRUE(importar.State().EmbeddedRun);
  EXPECT_TRUE(importar.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(importar.pos(), QPoint(0, 0));
  EXPECT_TRUE(Child<QWidget>(importar, "Draw3D2")->isHidden());
  EXPECT_EQ(Child<QWidget>(importar, "Draw3D3")->geometry(), QRect(0, 0, 632, 266));
  // "Salir" stays within reach: the bottom panel lies over the one that fills the window.
  EXPECT_EQ(importar.childAt(450, 215)->objectName(), "BClose");
  EXPECT_EQ(importar.childAt(150, 130)->objectName(), "BImportar");

  test::TempDir dir;
  const std::filesystem::path ini = dir / "Clepsa.ini";
  test::WriteFile(ini, "; Clepsa\r\n[General]\r\nIdioma=1\r\n[Transformadores]\r\nTransformado=1\r\n");
  TMForm exportar({"exportar", "0"});
  EXPECT_TRUE(Child<QWidget>(exportar, "Draw3D3")->isHidden());
  EXPECT_EQ(Child<QWidget>(exportar, "Draw3D2")->geometry(), QRect(0, 0, 632, 266));
  exportar.SetOutcomeFile(ini);
  exportar.show();
  QTest::mouseClick(Child<QPushButton>(exportar, "BClose"), Qt::LeftButton);
  EXPECT_FALSE(exportar.isVisible());
  EXPECT_EQ(test::ReadFile(ini),
            "; Clepsa\r\n[General]\r\nIdioma=1\r\n[Transformadores]\r\nTransformado=0\r\n");
}

TEST(Help, F1AsksTheViewerForTheFocusedContextWhenTheFileIsThere) {
  test::TempDir dir;
  const QString file = NativePath(dir / "ITACA.chm");
  TMForm form({});
  std::vector<QStringList> launched;
  form.Help().SetViewer(HelpViewer{"xchm", HelpViewer::Kind::XChm});
  form.Help().SetLauncher([&](const QString&, const QStringList& arguments) {
    launched.push_back(arguments);
    return true;
  });
  form.Help().SetHelpFile(file);
  EXPECT_FALSE(form.Help().ShowContents());  // no file: nothing happens

  test::WriteFile(dir / "ITACA.chm", "ITSF");
  EXPECT_TRUE(form.Help().ShowContents());
  form.show();
  QApplication::setActiveWindow(&form);
  for (const char* name : {"BExportar", "ComboBoxValCast"}) {
    Child<QWidget>(form, name)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  }
  EXPECT_EQ(launched, (std::vector<QStringList>{
                          {file}, {"--contextid=3", file}, {"--contextid=1", file}}));

  form.Help().SetViewer(std::nullopt);  // no engine on this system: nothing happens
  EXPECT_FALSE(form.Help().ShowContext(3));
}

}  // namespace
}  // namespace tc::app
