// What both desktop programs share: the windows' descriptions, the command line, the session of
// one program start (what follows a run, the outcome for Clepsa) and the help file's name.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "desktop/forms.h"
#include "desktop/help.h"
#include "desktop/session.h"
#include "store/safe_commit.h"
#include "support/scripted_interaction.h"
#include "support/test_support.h"

namespace tc::desktop {
namespace {

TEST(Forms, EveryControlIsNamedOnceAndSitsOnAPanelDescribedBeforeIt) {
  for (const Form* form : {&MainForm(), &TemplateForm(), &SchoolYearForm()}) {
    std::set<std::string_view> names;
    for (const Control& control : form->controls) {
      EXPECT_TRUE(names.insert(control.name).second) << form->name << " " << control.name;
      if (!control.parent.empty()) {
        const Control* parent = FindControl(*form, control.parent);
        ASSERT_NE(parent, nullptr) << control.name;
        EXPECT_EQ(parent->kind, ControlKind::Panel) << control.name;
        EXPECT_TRUE(names.count(control.parent)) << control.name << " comes before its panel";
      }
      EXPECT_EQ(control.kind == ControlKind::Panel, control.gradient.has_value()) << control.name;
    }
    EXPECT_EQ(form->help_context, kHelpContextWindow) << form->name;
  }
}

TEST(Forms, TheDirectionsCarryContextThreeAndTheWindowsControlsContextOne) {
  const Form& form = MainForm();
  for (const char* name : {"Draw3D2", "Draw3D3", "BExportar", "BImportar"}) {
    EXPECT_EQ(FindControl(form, name)->help_context, kHelpContextDirection) << name;
  }
  for (const char* name : {"ComboBoxValCast", "Button1"}) {
    EXPECT_EQ(FindControl(form, name)->help_context, kHelpContextWindow) << name;
  }
  EXPECT_EQ(FindControl(form, "ComboBoxValCast")->items, "VALENCI\xC1\nCASTELLANO");
  EXPECT_FALSE(FindControl(form, "ListBoxPlanti")->visible);
  EXPECT_EQ(FindControl(form, "Nada"), nullptr);
}

TEST(CommandLine, TwoArgumentsHostTheWindow) {
  EXPECT_FALSE(ReadCommandLine({}).embedded);
  EXPECT_FALSE(ReadCommandLine({"importar"}).embedded);
  EXPECT_FALSE(ReadCommandLine({"importar", "1A2B", "x"}).embedded);
  const StartOptions hosted = ReadCommandLine({"IMPORTAR", "1A2B"});
  EXPECT_TRUE(hosted.embedded);
  EXPECT_EQ(hosted.host_window, 0x1A2Bu);
  EXPECT_EQ(hosted.panels, Panels::ClepsaToItaca);
  EXPECT_EQ(ReadCommandLine({"Exportar", "ff"}).panels, Panels::ItacaToClepsa);
  EXPECT_EQ(ReadCommandLine({"otra", "ff"}).panels, Panels::Both);
  EXPECT_EQ(ParseWindowHandle("ffffffffffffffff"), ~std::uintptr_t{0});

  // Not a hexadecimal number: an error for the standard box, and a standalone window.
  for (const char* handle : {"XYZ", "", "0x1A", "-1", " 1A", "1A ", "12345678901234567"}) {
    const StartOptions bad = ReadCommandLine({"importar", handle});
    EXPECT_FALSE(bad.embedded) << handle;
    EXPECT_EQ(bad.panels, Panels::Both) << handle;
    EXPECT_EQ(bad.error, "'$" + std::string(handle) + "' no es un valor entero v\xE1lido");
  }
  EXPECT_EQ(ReadCommandLine({"importar", "Ñ"}).error, "'$\xD1' no es un valor entero v\xE1lido");
}

TEST(Help, OnlyChmFilesAndANameAloneLivesBesideTheProgram) {
  EXPECT_EQ(ResolveHelpFile("ITACA.hlp", "/prog"), std::filesystem::path());
  EXPECT_EQ(ResolveHelpFile("ITACA", "/prog"), std::filesystem::path());
  EXPECT_EQ(ResolveHelpFile("ITACA.CHM", "/prog"), std::filesystem::path("/prog/ITACA.CHM"));
  // A path that names its folder is kept: an absolute one on each system.
#ifdef _WIN32
  EXPECT_EQ(ResolveHelpFile("C:/ayuda/ITACA.chm", "/prog"),
            std::filesystem::path("C:/ayuda/ITACA.chm"));
#else
  EXPECT_EQ(ResolveHelpFile("/ayuda/ITACA.chm", "/prog"),
            std::filesystem::path("/ayuda/ITACA.chm"));
#endif
}

TEST(ErrorBox, AFullStopUnlessThereIsPunctuationThenWhatToDo) {
  EXPECT_EQ(StandardErrorText("No se puede leer"), "No se puede leer.");
  EXPECT_EQ(StandardErrorText("Sin acci\xF3n"), "Sin acci\xF3n.");
  // Punctuation is told by its code, below '.': a question mark comes after it.
  EXPECT_EQ(StandardErrorText("\xBFSeguro?"), "\xBFSeguro?.");
  for (const char* ends : {"Listo.", "Hecho!", "(a)", "a,", "a-", ""}) {
    EXPECT_EQ(StandardErrorText(ends), ends);
  }
  EXPECT_EQ(ErrorBoxText(Error("La tabla PROFT est\xE1 en uso por otro programa", ErrorKind::InUse,
                               "PROFT")),
            "La tabla PROFT est\xE1 en uso por otro programa.\r\n\r\n"
            "Cierre Clepsa (y cualquier otro programa que tenga abiertas las tablas de la carpeta "
            "de trabajo) y vuelva a intentarlo.");
  EXPECT_EQ(ErrorBoxText(Error("Fallo interno", ErrorKind::Internal)), "Fallo interno.");
}

TEST(Session, ThePreviewQuestionIsTurnedOffByItsCheckBoxAndTheChoiceIsKept) {
  test::TempDir dir;
  Session session(ReadCommandLine({}), dir / "Clepsa.ini", dir.path());
  EXPECT_TRUE(session.AskPreview());
  EXPECT_TRUE(session.AnswerPreviewQuestion(true, false));
  EXPECT_FALSE(session.AnswerPreviewQuestion(false, false));
  EXPECT_TRUE(session.AskPreview());
  EXPECT_FALSE(std::filesystem::exists(dir / "TransClepsaItaca.ini"));
  EXPECT_TRUE(session.AnswerPreviewQuestion(true, true));
  EXPECT_FALSE(session.AskPreview());
  EXPECT_EQ(test::ReadFile(dir / "TransClepsaItaca.ini"),
            "[Opciones]\r\nPreguntarVistaPrevia=0\r\n");
  Session next_start(ReadCommandLine({}), dir / "Clepsa.ini", dir.path());
  EXPECT_FALSE(next_start.AskPreview());
}

// A user who cancels every file dialog (unless given a file) and confirms every box.
class NobodyThere : public test::ScriptedInteraction {};

TEST(Session, AMissingInputClosesAHostedWindowWithMinusOneAndLeavesAStandaloneOneOpen) {
  test::TempDir dir;
  Session standalone(ReadCommandLine({}), dir / "Clepsa.ini", dir.path());
  NobodyThere user;
  user.file = dir / "no-esta.xml";
  EXPECT_EQ(standalone.Convert(user), Session::Next::Stay);
  EXPECT_EQ(standalone.Export(user), Session::Next::Stay);
  EXPECT_TRUE(standalone.RunsEnabled());
  EXPECT_EQ(standalone.State().OutcomeCode, kOutcomeNothing);
  EXPECT_FALSE(standalone.Closing().has_value());
  EXPECT_FALSE(std::filesystem::exists(dir / "Clepsa.ini"));  // written only when hosted

  // Hosted, Cancel in the file dialog ends the run with nothing done: the window stays, and
  // closing it reports 0; a file that is not there closes it with -1.
  Session cancelled(ReadCommandLine({"exportar", "0"}), dir / "Clepsa.ini", dir.path());
  NobodyThere nobody;
  EXPECT_EQ(cancelled.Convert(nobody), Session::Next::Stay);
  EXPECT_EQ(cancelled.Export(nobody), Session::Next::Stay);
  EXPECT_TRUE(nobody.informed.size() == 1 && nobody.errors.empty());  // the export's first words
  EXPECT_FALSE(cancelled.Closing().has_value());
  EXPECT_EQ(test::ReadFile(dir / "Clepsa.ini"), "[Transformadores]\r\nTransformado=0\r\n");

  Session hosted(ReadCommandLine({"exportar", "0"}), dir / "Clepsa.ini", dir.path());
  EXPECT_EQ(hosted.Convert(user), Session::Next::Close);
  EXPECT_EQ(hosted.State().OutcomeCode, kOutcomeMissingInput);
  EXPECT_FALSE(hosted.Closing().has_value());
  EXPECT_FALSE(hosted.Closing().has_value());  // once
  EXPECT_EQ(test::ReadFile(dir / "Clepsa.ini"), "[Transformadores]\r\nTransformado=-1\r\n");
}

// A run interrupted by a power cut left a staged table and a half-made backup: the program puts
// the folder right as it starts, unless another run is working there now.
TEST(Session, AtStartTheFolderIsPutRightAfterAnInterruptedRun) {
  test::TempDir dir;
  const std::filesystem::path ztemp = dir / "ZTEMP";
  std::filesystem::create_directories(store::BackupsFolder(ztemp) / "0001~parcial");
  test::WriteFile(ztemp / "PROFT.DBF", "tabla");
  test::WriteFile(ztemp / "~TC_PROFT~0123ABCD.tmp", "a medias");
  Session session(ReadCommandLine({}), dir / "Clepsa.ini", ztemp);
  {
    auto other_run =
        platform::RealFileSystem().TryLock(store::RunLockFile(ztemp), true, true);
    session.FinishInterruptedRun();  // does not wait for it
    EXPECT_TRUE(std::filesystem::exists(ztemp / "~TC_PROFT~0123ABCD.tmp"));
  }
  session.FinishInterruptedRun();
  EXPECT_FALSE(std::filesystem::exists(ztemp / "~TC_PROFT~0123ABCD.tmp"));
  EXPECT_FALSE(std::filesystem::exists(store::BackupsFolder(ztemp) / "0001~parcial"));
  EXPECT_EQ(test::ReadFile(ztemp / "PROFT.DBF"), "tabla");
}

TEST(Session, ACompletedRunDisablesBothDirectionsAndAnErrorChangesNothing) {
  test::TempDir dir;
  Session session(ReadCommandLine({"importar", "0"}), dir / "Clepsa.ini", dir / "ZTEMP");
  test::ScriptedInteraction user;
  user.file = std::filesystem::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";
  // No working folder yet: the run ends in the error box and the window stays.
  EXPECT_EQ(session.Convert(user), Session::Next::Stay);
  ASSERT_EQ(user.errors.size(), 1u);
  EXPECT_NE(user.errors[0].find("no existe la carpeta"), std::string::npos) << user.errors[0];
  EXPECT_TRUE(session.RunsEnabled());
  EXPECT_EQ(session.FileDialogFolder(), user.file->parent_path());

  std::filesystem::create_directory(dir / "ZTEMP");
  EXPECT_EQ(session.Convert(user), Session::Next::Close);
  EXPECT_FALSE(session.RunsEnabled());
  EXPECT_EQ(session.State().OutcomeCode, kOutcomeCompleted);
  ASSERT_TRUE(session.LastConversion().has_value());
  EXPECT_EQ(session.LastConversion()->tables.size(), 7u);
  EXPECT_FALSE(session.Closing().has_value());
  EXPECT_EQ(test::ReadFile(dir / "Clepsa.ini"), "[Transformadores]\r\nTransformado=1\r\n");
}

// "Deshacer" in "Proceso finalizado", confirmed: the folder is as before and Clepsa is told that
// nothing was done.
TEST(Session, ARunUndoneAtOnceReportsNothingDone) {
  struct UndoingScreen : Screen {
    bool ShowFinished(const Finished&) override { return true; }
    bool AskSafe(std::string_view) override { return true; }
    void Tell(std::string_view message) override { told = message; }
    void ShowRefusal(const Error& error) override { told = error.what(); }
    std::string told;
  } screen;
  test::TempDir dir;
  std::filesystem::create_directory(dir / "ZTEMP");
  Session session(ReadCommandLine({"exportar", "0"}), dir / "Clepsa.ini", dir / "ZTEMP");
  session.SetScreen(&screen);
  test::ScriptedInteraction user;
  user.file = std::filesystem::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml";
  EXPECT_EQ(session.Convert(user), Session::Next::Close);
  EXPECT_EQ(screen.told.rfind("Repuesta la copia 1 ", 0), 0u) << screen.told;
  EXPECT_FALSE(std::filesystem::exists(dir / "ZTEMP" / "PROFT.DBF"));
  EXPECT_EQ(session.State().OutcomeCode, kOutcomeNothing);
  EXPECT_FALSE(session.Closing().has_value());
  EXPECT_EQ(test::ReadFile(dir / "Clepsa.ini"), "[Transformadores]\r\nTransformado=0\r\n");
}

}  // namespace
}  // namespace tc::desktop
