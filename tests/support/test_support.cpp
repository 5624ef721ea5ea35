#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>

#include "base/codepage.h"
#include "platform/file_system.h"
#include "store/table.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace tc::test {

namespace fs = std::filesystem;

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

TempDir::TempDir(const fs::path& parent) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = parent /
                         ("tc-test-" + std::to_string(random()) + "-" +
                          std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> LeftoversOfARun(const fs::path& folder) {
  std::vector<std::string> leftovers;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (platform::IsTemporaryName(name) || name.ends_with("~parcial") || name == "diario.txt" ||
        name == "pendientes.txt") {
      leftovers.push_back(fs::relative(entry.path(), folder).generic_string());
    }
  }
  return leftovers;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

#ifdef _WIN32
HeldAsByClepsa::HeldAsByClepsa(const fs::path& file)
    : handle_(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold " + file.string());
}

HeldAsByClepsa::~HeldAsByClepsa() { ::CloseHandle(handle_); }

std::string UserLocaleName() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  const int length = ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  return length > 1 ? std::string(name, name + length - 1) : std::string();
}
#endif

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = fs::relative(entry.path(), folder).generic_string();
    if (name == "TransClepsaItaca/ejecucion.lock") continue;
    files[name] = ReadFile(entry.path());
  }
  return files;
}

std::string W(std::string_view utf8) { return Utf8ToCp1252(utf8); }

std::vector<Row> ReadRows(const fs::path& table_file) {
  auto table = store::Table::Open(table_file, store::OpenMode::Shared);
  std::vector<Row> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    Row row;
    for (const auto& field : table.Fields()) row[field.name] = table.GetText(field.name);
    rows.push_back(std::move(row));
  }
  table.Close();
  return rows;
}

bool ScriptedInteraction::Confirm(Question question) {
  questions.push_back(question);
  auto answer = answers.find(question);
  return answer != answers.end() && answer->second;
}

std::optional<TemplateChoice> ScriptedInteraction::ChooseTemplate(TemplateDialog& dialog) {
  ++template_dialogs;
  if (language) dialog.SetLanguage(*language);
  if (template_code) dialog.SetCodeText(*template_code);
  if (close_template_dialog) return std::nullopt;
  return dialog.Result();
}

bool ScriptedInteraction::GoOnDespite(const Guard& guard) {
  guards.push_back(guard);
  auto answer = go_on.find(guard.kind);
  return answer != go_on.end() && answer->second;
}

void ScriptedInteraction::ChooseSchoolYear(SchoolYearDialog& dialog) {
  ++school_year_dialogs;
  if (school_year) dialog.SetComboText(*school_year);
}

ConversionRun::ConversionRun(std::string_view xml_utf8)
    : tables(store::Database(dir.path())),
      document(itaca::Document::Parse(xml_utf8, "prueba.xml")),
      ctx{document, state, tables, ui, {}, {}, {}} {}

std::vector<Row> ConversionRun::Rows(std::string_view table) const {
  return ReadRows(tables.File(table).value_or(tables.Folder().TablePath(table)));
}

}  // namespace tc::test
