#include "win32_testing.h"

#include <regex>

#include "platform/platform.h"
#include "support/process.h"

namespace tc::win32::testing {

RECT PlaceIn(HWND window, HWND to) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, to, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

ProgramTest::ProgramTest() {
  fs::create_directories(program_dir_);
  fs::create_directories(ztemp_);
  fs::copy_file(TC_WIN32_PROGRAM, program_);
  const fs::path help = fs::path(TC_WIN32_PROGRAM).parent_path() / "ITACA.chm";
  if (fs::exists(help)) fs::copy_file(help, program_dir_ / "ITACA.chm");
}

std::unique_ptr<drive::Program> ProgramTest::Start(const std::vector<std::wstring>& arguments) {
  return std::make_unique<drive::Program>(
      program_, arguments,
      std::map<std::wstring, std::wstring>{{L"TRANSCLEPSA_ZTEMP", ztemp_.wstring()}});
}

fs::path ProgramTest::CopySample(const fs::path& folder) {
  fs::create_directories(folder);
  const fs::path copy = folder / "ies_exemple.xml";
  fs::copy_file(fs::path(TC_SOURCE_DIR) / "examples" / "ies_exemple.xml", copy,
                fs::copy_options::overwrite_existing);
  return copy;
}

int ProgramTest::CommandLine(const std::vector<std::string>& arguments) {
  test::ProgramRun run;
  run.args = arguments;
  const test::ProgramOutcome outcome = test::RunProgram(TC_CLI_PATH, run);
  if (outcome.status != 0) ADD_FAILURE() << outcome.out << outcome.err;
  return outcome.status;
}

std::map<std::string, std::string> Tables(const fs::path& folder) {
  std::map<std::string, std::string> tables;
  for (const char* name : {"PROFT", "CURSOST", "GRUPOST", "ASIGNOMT", "AULAT", "ASIGT",
                           "DIASHORAST"}) {
    const fs::path file = folder / (std::string(name) + ".DBF");
    std::string bytes = fs::exists(file) ? test::ReadFile(file) : "(no hay)";
    if (bytes.size() > 4) bytes.replace(1, 3, "YMD");  // the date of last update
    tables[name] = bytes;
  }
  return tables;
}

std::string WithoutExportDate(std::string xml) {
  return std::regex_replace(xml, std::regex("fecha_exportacion=\"[^\"]*\""),
                            "fecha_exportacion=\"\"");
}

}  // namespace tc::win32::testing
