// What the tests of the Windows program share: the program copied into a folder of its own
// (with an accented name, and the help file beside it), a working folder, the sample school,
// transclepsa.exe for the same runs from the command line, and the controls of the program's
// windows by the names of their descriptions.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/forms.h"
#include "driver.h"
#include "support/test_support.h"
#include "win32/identities.h"
#include "win32/text.h"

namespace tc::win32::testing {

namespace fs = std::filesystem;

// The control `name` of a window built from `form`.
inline HWND Find(HWND window, const desktop::Form& form, std::string_view name) {
  return drive::Control(window, ControlId(form, name));
}
inline std::wstring TextOf(HWND window, const desktop::Form& form, std::string_view name) {
  return drive::Text(Find(window, form, name));
}
// A text of the core (Windows-1252) as the program shows it.
inline std::wstring Shown(std::string_view cp1252) { return FromCore(cp1252); }
inline std::wstring Wide(std::string_view utf8) { return FromUtf8(utf8); }

// The client area of `window` relative to `to`'s client area.
RECT PlaceIn(HWND window, HWND to);

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest();

  // Starts TransClepsaItaca.exe from its folder with `arguments`, on the test's working folder.
  std::unique_ptr<drive::Program> Start(const std::vector<std::wstring>& arguments = {});
  // The sample school copied to `folder` (created) as ies_exemple.xml.
  fs::path CopySample(const fs::path& folder);
  // transclepsa.exe with `arguments`; its exit status (its output goes to the test's log when it
  // fails).
  int CommandLine(const std::vector<std::string>& arguments);

  test::TempDir dir_;
  fs::path program_dir_ = dir_.path() / FromUtf8("Programa \xC3\xB1");  // "Programa ñ"
  fs::path program_ = program_dir_ / "TransClepsaItaca.exe";
  fs::path ini_ = program_dir_ / "Clepsa.ini";
  fs::path ztemp_ = dir_ / "ZTEMP";
};

// The seven tables of a conversion, byte for byte but for the day each was written.
std::map<std::string, std::string> Tables(const fs::path& folder);
// A document without its fecha_exportacion, the date and time of the export.
std::string WithoutExportDate(std::string xml);

}  // namespace tc::win32::testing
