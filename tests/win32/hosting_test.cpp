// The Windows program hosted as Clepsa starts it: a borderless child of the host's window at its
// origin showing one direction, the outcome in Clepsa.ini beside the program (every other line
// kept, and read back by Windows' own GetPrivateProfileInt as Clepsa reads it), closing by itself
// after a completed run or a missing input, and a host that waits for the program without reading
// its messages, which must not stop a whole conversion.
#include <fstream>
#include <sstream>

#include "win32_testing.h"

namespace tc::win32::testing {
namespace {

const desktop::Form& kMain = desktop::MainForm();
const desktop::Form& kTemplates = desktop::TemplateForm();

class HostedProgram : public ProgramTest {
 protected:
  // Starts the host window (with `wait`: the host starts the program itself with `word` and
  // waits for it); returns its window.
  HWND StartHost(const std::wstring& word = {}) {
    std::vector<std::wstring> arguments{report_.wstring()};
    if (!word.empty()) arguments.insert(arguments.end(), {L"wait", program_.wstring(), word});
    // The program the host starts inherits the host's environment: its working folder too.
    host_ = std::make_unique<drive::Program>(
        TC_WIN32_HOST, arguments,
        std::map<std::wstring, std::wstring>{{L"TRANSCLEPSA_ZTEMP", ztemp_.wstring()}});
    std::string handle;
    drive::WaitUntil([&] {
      handle = ReportLine(0);
      return !handle.empty();
    });
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(handle.empty() ? "0" : handle, nullptr, 16)));
  }
  std::string ReportLine(std::size_t number) {
    std::ifstream file(report_);
    std::string line;
    for (std::size_t i = 0; i <= number; ++i) {
      if (!std::getline(file, line)) return {};
    }
    return line;
  }
  // The program's window inside the host's.
  HWND Hosted(HWND host) {
    HWND window = nullptr;
    drive::WaitUntil([&] {
      window = FindWindowExW(host, nullptr, L"MForm", nullptr);
      return window != nullptr && IsWindowVisible(window);
    });
    return window;
  }
  std::string Ini() { return fs::exists(ini_) ? test::ReadFile(ini_) : "(none)"; }
  int IniOutcome() {
    return static_cast<int>(GetPrivateProfileIntW(L"Transformadores", L"Transformado", 99,
                                                  ini_.c_str()));
  }

  fs::path report_ = dir_ / "anfitrion.txt";
  std::unique_ptr<drive::Program> host_;
};

TEST_F(HostedProgram, ImportarSitsInTheHostShowingItsPanelAndSalirReportsZero) {
  const std::string clepsa_ini =
      "; Configuraci\xF3n de Clepsa\r\n[Clepsa]\r\nRuta = C:\\CLEPSA\r\n\r\n"
      "[Transformadores]\r\nTransformado=1\r\nOtro=valor\r\n; fin\r\n";
  test::WriteFile(ini_, clepsa_ini);
  HWND host = StartHost();
  ASSERT_NE(host, nullptr) << "no host window";
  wchar_t handle[32];
  swprintf(handle, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
  auto program = Start({L"IMPORTAR", handle});
  HWND window = Hosted(host);
  ASSERT_NE(window, nullptr) << "the program's window is not inside the host's";

  EXPECT_EQ(GetParent(window), host);
  EXPECT_EQ(GetAncestor(window, GA_ROOT), host);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CHILD);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
  const RECT place = PlaceIn(window, host);
  EXPECT_EQ(place.left, 0);
  EXPECT_EQ(place.top, 0);
  EXPECT_EQ(place.right, 632);
  EXPECT_EQ(place.bottom, 266);

  // Only the Clepsa-to-ITACA panel, filling the window under the bottom panel.
  EXPECT_FALSE(IsWindowVisible(Find(window, kMain, "Draw3D2")));
  EXPECT_FALSE(IsWindowVisible(Find(window, kMain, "BExportar")));
  HWND panel = Find(window, kMain, "Draw3D3");
  EXPECT_TRUE(IsWindowVisible(panel));
  const RECT panel_place = PlaceIn(panel, window);
  EXPECT_EQ(panel_place.left, 0);
  EXPECT_EQ(panel_place.top, 0);
  EXPECT_EQ(panel_place.right, 632);
  EXPECT_EQ(panel_place.bottom, 266);
  EXPECT_TRUE(IsWindowVisible(Find(window, kMain, "BImportar")));
  EXPECT_TRUE(IsWindowVisible(Find(window, kMain, "BClose")));
  EXPECT_EQ(GetWindow(Find(window, kMain, "Draw3D1"), GW_HWNDPREV), nullptr)
      << "the bottom panel is above the others";

  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
  std::string expected = clepsa_ini;
  expected.replace(expected.find("Transformado=1"), 14, "Transformado=0");
  EXPECT_EQ(Ini(), expected);
  EXPECT_EQ(IniOutcome(), 0);
  EXPECT_TRUE(IsWindow(host)) << "the host goes on";
}

TEST_F(HostedProgram, AMissingInputReportsMinusOneAndClosesByItself) {
  HWND host = StartHost();
  ASSERT_NE(host, nullptr);
  wchar_t handle[32];
  swprintf(handle, 32, L"%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
  auto program = Start({L"importar", handle});
  HWND window = Hosted(host);
  ASSERT_NE(window, nullptr);
  drive::Click(Find(window, kMain, "BImportar"));
  drive::Box box = drive::WaitForBox(program->Id());
  drive::Answer(box, IDOK);
  ASSERT_TRUE(drive::AnswerFileDialog(program->Id(), {}));  // Cancel
  box = drive::WaitForBox(program->Id());
  EXPECT_EQ(box.text, Wide("No existe archivo XML o Solución."));
  drive::Answer(box, IDOK);
  EXPECT_EQ(program->Wait(), 0);
  EXPECT_EQ(Ini(), "[Transformadores]\r\nTransformado=-1\r\n");
  EXPECT_EQ(IniOutcome(), -1);
}

TEST_F(HostedProgram, AHandleThatIsNotHexadecimalIsSaidAndTheWindowStartsStandalone) {
  auto program = Start({L"importar", L"XYZ"});
  const drive::Box box = drive::WaitForBox(program->Id());
  EXPECT_EQ(box.text, Wide("'$XYZ' no es un valor entero válido."));
  drive::Answer(box, IDOK);
  HWND window = drive::WaitForWindow(program->Id(), L"MForm");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_TRUE(IsWindowVisible(Find(window, kMain, "Draw3D2")));
  EXPECT_TRUE(IsWindowVisible(Find(window, kMain, "Draw3D3")));
  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
  EXPECT_FALSE(fs::exists(ini_));
}

// Clepsa may start the program and wait for it to end without reading its own messages: the
// program inside its window still runs a whole conversion, closes by itself and reports 1.
TEST_F(HostedProgram, AHostThatWaitsCannotStopAWholeConversion) {
  const fs::path school = CopySample(dir_ / "centro");
  HWND host = StartHost(L"EXPORTAR");
  ASSERT_NE(host, nullptr);
  HWND window = Hosted(host);
  ASSERT_NE(window, nullptr) << "the program's window is not inside the host's";
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  EXPECT_FALSE(IsWindowVisible(Find(window, kMain, "Draw3D3")));

  drive::Click(Find(window, kMain, "BExportar"));
  ASSERT_TRUE(drive::AnswerFileDialog(id, school)) << "no file dialog";
  HWND dialog = drive::WaitForWindow(id, L"TPlantillas");
  ASSERT_NE(dialog, nullptr);
  drive::Click(Find(dialog, kTemplates, "BitBtnContinuar"));
  drive::Answer(drive::WaitForBox(id), IDNO);   // all templates: No
  drive::Answer(drive::WaitForBox(id), IDYES);  // remove idle groups and teachers: Yes
  // The preview question, turned off for the next starts.
  const desktop::Form& question_form = desktop::PreviewQuestionForm();
  HWND question = drive::WaitForWindow(id, L"TPreguntaVistaPrevia");
  ASSERT_NE(question, nullptr);
  drive::Click(Find(question, question_form, "NoPreguntar"));
  EXPECT_TRUE(drive::WaitUntil([&] { return drive::Checked(Find(question, question_form, "NoPreguntar")); }));
  drive::Click(Find(question, question_form, "BNo"));
  HWND finished = drive::WaitForWindow(id, L"TFinalizado", L"TransClepsaItaca");
  ASSERT_NE(finished, nullptr);
  EXPECT_EQ(TextOf(finished, desktop::FinishedForm(), "LabelFinalizado"), L"Proceso finalizado");
  drive::Click(Find(finished, desktop::FinishedForm(), "BAceptar"));

  EXPECT_TRUE(drive::WaitUntil([&] { return ReportLine(1) == "ended 0"; }, 30000))
      << "host: " << ReportLine(1);
  EXPECT_EQ(Ini(), "[Transformadores]\r\nTransformado=1\r\n");
  EXPECT_EQ(test::ReadFile(program_dir_ / "TransClepsaItaca.ini"),
            "[Opciones]\r\nPreguntarVistaPrevia=0\r\n");
  EXPECT_TRUE(fs::exists(ztemp_ / "PROFT.DBF"));
}

}  // namespace
}  // namespace tc::win32::testing
