// The Windows program hosted as Clepsa starts it: under Wine, a borderless window owned by the
// host's window and laid over its client area (drawn there, taking clicks, following the host's
// moves and minimising), showing one direction, the outcome in Clepsa.ini beside the program
// (every other line kept, and read back by Windows' own GetPrivateProfileInt as Clepsa reads
// it), closing by itself after a completed run or a missing input, and a host that waits for the
// program without reading its messages, which must not stop a whole conversion.
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
  // The program's window in the host's (a child), or over it (under Wine, owned by it).
  HWND Hosted(HWND host) {
    HWND window = nullptr;
    drive::WaitUntil([&] {
      window = FindWindowExW(host, nullptr, L"MForm", nullptr);
      for (HWND top = nullptr;
           window == nullptr && (top = FindWindowExW(nullptr, top, L"MForm", nullptr)) != nullptr;) {
        if (GetWindow(top, GW_OWNER) == host) window = top;
      }
      return window != nullptr && IsWindowVisible(window);
    });
    return window;
  }
  // Whether the window sits at the host's client origin with its own size.
  static bool AtOrigin(HWND window, HWND host) {
    const RECT place = PlaceIn(window, host);
    return place.left == 0 && place.top == 0 && place.right == 632 && place.bottom == 266;
  }
  static POINT OnScreen(HWND host, POINT client) {
    ClientToScreen(host, &client);
    return client;
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

  EXPECT_EQ(GetWindow(window, GW_OWNER), host);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_POPUP), WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
  EXPECT_TRUE(drive::WaitUntil([&] { return AtOrigin(window, host); }));
  // Drawn there: the panel's gradient starts at the host's first client line.
  const desktop::Gradient gradient = *desktop::FindControl(kMain, "Draw3D3")->gradient;
  const COLORREF start = RGB(gradient.start.red, gradient.start.green, gradient.start.blue);
  EXPECT_TRUE(drive::WaitUntil([&] { return drive::ScreenPixel(OnScreen(host, {3, 0})) == start; }))
      << std::hex << drive::ScreenPixel(OnScreen(host, {3, 0}));

  // It follows the host's moves, and goes and comes back with the host's minimising.
  SetWindowPos(host, nullptr, 300, 220, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(drive::WaitUntil([&] { return AtOrigin(window, host); }));
  ShowWindow(host, SW_MINIMIZE);
  EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowVisible(window); }));
  ShowWindow(host, SW_RESTORE);
  EXPECT_TRUE(drive::WaitUntil([&] { return IsWindowVisible(window) && AtOrigin(window, host); }));
  // Covered by another window, then raised over it: the window comes back just above the host.
  HWND cover = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 1024,
                               nullptr, nullptr, nullptr, nullptr);
  // Raised only once the cover is drawn on the screen (this thread paints it): raised before,
  // the host would go under a cover that shows up after it.
  EXPECT_TRUE(drive::WaitUntil([&] {
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    return drive::ScreenPixel(OnScreen(host, {3, 0})) != start;
  }));
  SetWindowPos(host, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_TRUE(drive::WaitUntil([&] {
    return GetWindow(host, GW_HWNDPREV) == window &&
           drive::ScreenPixel(OnScreen(host, {3, 0})) == start;
  }));
  DestroyWindow(cover);

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
  // A click of the mouse on "OK" where the host's window shows it.
  RECT ok{};
  GetWindowRect(Find(window, kMain, "BImportar"), &ok);
  drive::WaitUntil([&] { return AtOrigin(window, host); });
  drive::ClickAt({(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2});
  drive::Box box = drive::WaitForBox(program->Id());
  drive::Answer(box, IDOK);
  ASSERT_TRUE(drive::AnswerFileDialog(program->Id(), dir_ / "no-esta.xml"));
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
