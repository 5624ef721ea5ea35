// tc_win32_screenshots: saves pictures of the Windows program's windows for the README, taken
// from the screen while the program runs under Wine and is driven from outside as in the tests
// (scripts/screenshots.sh converts them to PNG). The program is the one users get: nothing in it
// knows about this.
//
//   tc_win32_screenshots.exe FOLDER
//
// writes into FOLDER, as 24-bit BMP files: win32-main-window, win32-plantillas-conversion,
// win32-plantillas-exportacion and win32-curso-destino, from the sample school. The program
// inside Clepsa's window has no picture: Wine 8 does not show on the screen a window placed
// inside another program's window.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/forms.h"
#include "driver.h"
#include "platform/platform.h"
#include "support/process.h"
#include "support/test_support.h"
#include "win32/identities.h"

namespace fs = std::filesystem;
namespace drive = tc::win32::drive;

namespace {

int failures = 0;

void Shoot(HWND window, const fs::path& folder, const char* name) {
  if (window == nullptr) {
    std::fprintf(stderr, "%s: no window\n", name);
    ++failures;
    return;
  }
  // Painted: the program has taken the messages before this one, and had a moment to draw.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  Sleep(500);
  const fs::path file = folder / (std::string(name) + ".bmp");
  if (!drive::SaveScreenshot(window, file)) {
    std::fprintf(stderr, "%s: not saved\n", name);
    ++failures;
    return;
  }
  std::printf("%s\n", file.filename().string().c_str());
}

HWND Control(HWND window, const tc::desktop::Form& form, std::string_view name) {
  return drive::Control(window, tc::win32::ControlId(form, name));
}

// The program copied into a folder of its own, as users have it (nothing is written beside the
// build's), on the working folder `ztemp`.
class Session {
 public:
  Session(const fs::path& folder, const fs::path& ztemp) : ztemp_(ztemp) {
    fs::create_directories(folder);
    program_ = folder / "TransClepsaItaca.exe";
    fs::copy_file(TC_WIN32_PROGRAM, program_, fs::copy_options::overwrite_existing);
  }
  std::unique_ptr<drive::Program> Start() {
    return std::make_unique<drive::Program>(
        program_, std::vector<std::wstring>{},
        std::map<std::wstring, std::wstring>{{L"TRANSCLEPSA_ZTEMP", ztemp_.wstring()}});
  }

 private:
  fs::path ztemp_;
  fs::path program_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: tc_win32_screenshots CARPETA\n");
    return 64;
  }
  const fs::path out = argv[1];
  fs::create_directories(out);
  const tc::test::TempDir dir;
  const fs::path ztemp = dir / "ZTEMP";
  fs::create_directories(ztemp);
  const fs::path school = dir / "centro" / "ies_exemple.xml";
  fs::create_directories(school.parent_path());
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml", school);
  Session session(dir / "Clepsa", ztemp);
  const tc::desktop::Form& main_form = tc::desktop::MainForm();
  const tc::desktop::Form& templates = tc::desktop::TemplateForm();

  {  // Standalone, then the template dialog of a conversion.
    auto program = session.Start();
    HWND window = drive::WaitForWindow(program->Id(), L"MForm");
    Shoot(window, out, "win32-main-window");
    if (window != nullptr) {
      drive::Click(Control(window, main_form, "BExportar"));
      drive::AnswerFileDialog(program->Id(), school);
    }
    Shoot(window != nullptr ? drive::WaitForWindow(program->Id(), L"TPlantillas") : nullptr, out,
          "win32-plantillas-conversion");
  }

  {  // An export: the template dialog in its mode, then the school year. Its tables come from
     // the command line, Clepsa's SOLUC from the tests' sample.
    tc::test::ProgramRun convert;
    convert.args = {"convert", tc::platform::PathToUtf8(school), "--data-dir",
                    tc::platform::PathToUtf8(ztemp), "-q"};
    if (tc::test::RunProgram(TC_CLI_PATH, convert).status != 0) {
      std::fprintf(stderr, "transclepsa convert failed\n");
      return 1;
    }
    fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                  ztemp / "SOLUC.DBF");
    auto program = session.Start();
    HWND window = drive::WaitForWindow(program->Id(), L"MForm");
    if (window != nullptr) {
      drive::Click(Control(window, main_form, "BImportar"));
      drive::Answer(drive::WaitForBox(program->Id()), IDOK);
      drive::AnswerFileDialog(program->Id(), school);
    }
    HWND dialog = window != nullptr ? drive::WaitForWindow(program->Id(), L"TPlantillas") : nullptr;
    if (dialog != nullptr) drive::Type(Control(dialog, templates, "ComboBoxPlantilla"), L"MATI");
    Shoot(dialog, out, "win32-plantillas-exportacion");
    if (dialog != nullptr) drive::Click(Control(dialog, templates, "BitBtnContinuar"));
    Shoot(dialog != nullptr ? drive::WaitForWindow(program->Id(), L"TCurExp") : nullptr, out,
          "win32-curso-destino");
  }
  return failures == 0 ? 0 : 1;
}
