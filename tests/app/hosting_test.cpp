// The program hosted for real: an X server (Xvfb), a window standing for Clepsa's, and the
// program started with a direction word and that window's handle. Its modal windows are
// answered by its unattended mode; the checks look at the X window tree and at Clepsa.ini.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <functional>

#include "app_testing.h"
#include "support/test_support.h"

namespace tc::app {
namespace {

namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& condition) {
  QDeadlineTimer deadline(20000);
  while (!condition() && !deadline.hasExpired()) QThread::msleep(20);
  return condition();
}

QString ReadLine(QProcess& process) {
  WaitFor([&] { return process.waitForReadyRead(50) || process.canReadLine(); });
  return QString::fromLatin1(process.readLine()).trimmed();
}

class HostedProgram : public testing::Test {
 protected:
  void SetUp() override {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty() || QStandardPaths::findExecutable("xwininfo").isEmpty()) {
      GTEST_SKIP() << "Xvfb or xwininfo (x11-utils) is not installed";
    }
    // Xvfb picks a free display and writes its number on standard output.
    xvfb_.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    environment_.insert("DISPLAY", ":" + ReadLine(xvfb_));
    environment_.insert("QT_QPA_PLATFORM", "xcb");
    environment_.insert("TRANSCLEPSA_ZTEMP", QString::fromStdString(ztemp_.string()));

    // The program runs from a folder of its own: Clepsa.ini is written beside it.
    fs::create_directories(program_.parent_path());
    fs::create_directories(ztemp_);
    fs::copy_file(TC_APP_PATH, program_);
    host_.setProcessEnvironment(environment_);
    host_.start(TC_HOST_PATH, {});
    host_window_ = ReadLine(host_);
    ASSERT_FALSE(host_window_.isEmpty()) << "no X server or no host window";
  }

  void TearDown() override {
    for (QProcess* process : {&program_process_, &host_, &xvfb_}) {
      process->kill();
      process->waitForFinished();
    }
  }

  void StartProgram(const QStringList& arguments, const QString& script) {
    QProcessEnvironment environment = environment_;
    environment.insert("TRANSCLEPSA_AUTOPILOT", script);
    program_process_.setProcessEnvironment(environment);
    program_process_.start(QString::fromStdString(program_.string()), arguments);
  }

  // Waits for the program to close by itself; returns what it echoed.
  QString Finish() {
    const bool finished = program_process_.waitForFinished(30000);
    if (!finished) program_process_.kill();
    const QString echoed = QString::fromUtf8(program_process_.readAllStandardOutput());
    EXPECT_TRUE(finished) << "the program did not close; it showed:\n" << echoed.toStdString();
    return echoed;
  }

  QString XWinInfo(const QStringList& arguments) {
    QProcess query;
    query.setProcessEnvironment(environment_);
    query.start("xwininfo", arguments);
    query.waitForFinished();
    return QString::fromLatin1(query.readAllStandardOutput());
  }

  std::string Ini() { return fs::exists(ini_) ? test::ReadFile(ini_) : "(none)"; }

  test::TempDir dir_;
  fs::path program_ = dir_ / "programa" / "TransClepsaItaca";
  fs::path ini_ = dir_ / "programa" / "Clepsa.ini";
  fs::path ztemp_ = dir_ / "ZTEMP";
  QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
  QString host_window_;
  QProcess xvfb_, host_, program_process_;
};

TEST_F(HostedProgram, ImportarSitsInTheHostShowingOnePanelAndClosingReportsZero) {
  const std::string clepsa_ini =
      "; Configuraci\xF3n de Clepsa\r\n[Clepsa]\r\nRuta=C:\\CLEPSA\r\n\r\n"
      "[Transformadores]\r\nTransformado=1\r\n; fin\r\n";
  test::WriteFile(ini_, clepsa_ini);
  const QString report = QString::fromStdString((dir_ / "ventana.txt").string());
  StartProgram({"IMPORTAR", host_window_}, "report:" + report + ";wait;click:BClose");
  ASSERT_TRUE(WaitFor([&] { return QFile::exists(report); })) << "no report from the program";

  QFile file(report);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
  for (const char* line : {"embedded 1", "size 632 266", "panel Draw3D2 hidden 0 0 315 169",
                           "panel Draw3D3 visible 0 0 632 266", "button BImportar visible enabled",
                           "button BExportar hidden enabled", "button BClose visible enabled"}) {
    EXPECT_TRUE(lines.contains(line)) << line;
  }

  // The X server has the program's window as a child of the host's, at its origin.
  const QString window = "0x" + lines.value(0).section(u' ', 1);
  const QStringList children = {"-children", "-id", "0x" + host_window_};
  EXPECT_TRUE(WaitFor([&] { return XWinInfo(children).contains(window + " "); }))
      << XWinInfo(children).toStdString();
  const QString info = XWinInfo({"-id", window});
  for (const char* line : {"Relative upper-left X:  0", "Relative upper-left Y:  0",
                           "Width: 632", "Height: 266", "Map State: IsViewable"}) {
    EXPECT_TRUE(info.contains(line)) << info.toStdString();
  }

  program_process_.write("\n");  // now "Salir"
  Finish();
  std::string expected = clepsa_ini;
  expected.replace(expected.find("Transformado=1"), 14, "Transformado=0");
  EXPECT_EQ(Ini(), expected);
}

TEST_F(HostedProgram, MissingInputReportsMinusOneAndCloses) {
  StartProgram({"importar", host_window_},
               "file:" + QString::fromStdString((dir_ / "no-esta.xml").string()) +
                   ";click:BImportar");
  const QString echoed = Finish();
  EXPECT_TRUE(echoed.contains(u8"box information No existe archivo XML o Solución.\n"))
      << echoed.toStdString();
  EXPECT_EQ(Ini(), "[Transformadores]\r\nTransformado=-1\r\n");
}

TEST_F(HostedProgram, CompletedRunsReportOneAndClose) {
  const fs::path school = dir_ / "centro.xml";
  fs::copy_file(test::SampleSchool(), school);
  const QString file = "file:" + QString::fromStdString(school.string());

  StartProgram({"EXPORTAR", host_window_}, file + ";click:BExportar");
  QString echoed = Finish();
  EXPECT_TRUE(echoed.contains("dialog Plantillas Horarias\n")) << echoed.toStdString();
  EXPECT_TRUE(echoed.contains("finished Proceso finalizado\n")) << echoed.toStdString();
  EXPECT_EQ(Ini(), "[Transformadores]\r\nTransformado=1\r\n");

  // Clepsa's part: its timetable of these tables; then the way back.
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                ztemp_ / "SOLUC.DBF");
  fs::remove(ini_);
  StartProgram({"IMPORTAR", host_window_}, file + ";click:BImportar");
  echoed = Finish();
  EXPECT_TRUE(echoed.contains("dialog Curso de destino\n")) << echoed.toStdString();
  EXPECT_TRUE(echoed.contains("finished Proceso finalizado\n")) << echoed.toStdString();
  EXPECT_EQ(Ini(), "[Transformadores]\r\nTransformado=1\r\n");
  EXPECT_TRUE(fs::exists(dir_ / "ResultadoClepsacentro.xml"));
}

}  // namespace
}  // namespace tc::app
