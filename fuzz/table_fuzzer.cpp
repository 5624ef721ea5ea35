// libFuzzer target for the table engine's reader. The bytes are a .DBF file (held in memory, in a
// file system of the target's own): opening either refuses it with a TableError or gives a table
// whose every row and field can be read, where each field's value can be found again by Locate,
// and which, after a row is deleted, saves and reopens holding the same values. Reading a value
// may be refused with a TableError (a text where a number should be); any other exception, a
// crash or a sanitizer report is a finding. How to build and run it: fuzz/README.md.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "store/table.h"

namespace {

namespace fs = std::filesystem;
using tc::store::OpenMode;
using tc::store::Table;

// Files in memory: what the table reads and what it saves; no real file is touched.
class MemoryFileSystem : public tc::platform::FileSystem {
 public:
  std::map<std::string, std::string> files;

  std::string ReadFile(const fs::path& file) override { return Find(file)->second; }
  bool IsFile(const fs::path& path) override { return files.count(path.string()) > 0; }
  bool IsFolder(const fs::path& path) override { return path == "."; }
  std::vector<fs::path> List(const fs::path&) override { return {}; }
  void WriteNewFile(const fs::path& file, std::span<const std::string_view> pieces) override {
    std::string& bytes = files[file.string()];
    for (std::string_view piece : pieces) bytes += piece;
  }
  void Rename(const fs::path& from, const fs::path& to) override {
    auto found = Find(from);
    std::string bytes = std::move(found->second);
    files.erase(found);
    files[to.string()] = std::move(bytes);
  }
  bool Remove(const fs::path& file) override { return files.erase(file.string()) > 0; }
  bool Link(const fs::path&, const fs::path&) override { return false; }
  void CreateFolder(const fs::path&) override {}
  void RemoveFolder(const fs::path&) override {}
  std::optional<tc::platform::FileMode> Mode(const fs::path&) override { return std::nullopt; }
  void SetMode(const fs::path&, tc::platform::FileMode) override {}
  bool IsReadOnly(const fs::path&) override { return false; }
  std::optional<tc::platform::FileLock> TryLock(const fs::path&, bool, bool) override {
    return tc::platform::FileLock();  // nobody else holds a file here
  }

 private:
  std::map<std::string, std::string>::iterator Find(const fs::path& file) {
    auto found = files.find(file.string());
    if (found == files.end()) {
      throw tc::platform::FileError("No existe " + file.string() + ".",
                                    tc::ErrorKind::InputMissing, file.string(), "no existe");
    }
    return found;
  }
};

[[noreturn]] void Finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}

// A read that may be refused, as a damaged value is.
template <typename Read>
void MayRefuse(Read read) {
  try {
    read();
  } catch (const tc::TableError&) {
  }
}

// Each field's name as a caller gives it, when Locate can be asked by it: the first field of
// that name (any letter case), with no ';' (which separates key fields) nor blanks around it.
std::vector<bool> Locatable(const tc::store::Schema& fields) {
  std::vector<bool> locatable(fields.size(), false);
  std::vector<std::string> seen;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string upper = fields[i].name;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    bool first = true;
    for (const std::string& other : seen) first = first && other != upper;
    seen.push_back(upper);
    const std::string& name = fields[i].name;
    locatable[i] = first && !name.empty() && name.find(';') == std::string::npos &&
                   name.front() != ' ' && name.back() != ' ';
  }
  return locatable;
}

// Rows whose values are also read as numbers and logicals, and found again with Locate: enough to
// meet every kind of row, few enough to keep each input quick (a refused read throws, which costs
// much more than a read).
constexpr std::size_t kCheckedRows = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem files;
  const fs::path path = "FUZZ.DBF";
  files.files[path.string()].assign(reinterpret_cast<const char*>(data), size);

  std::optional<Table> table;
  try {
    table.emplace(Table::Open(path, OpenMode::Exclusive, files));
  } catch (const tc::TableError&) {
    return 0;  // refused, with its message
  }

  MayRefuse([&] { table->RequireComplete(); });
  const tc::store::Schema fields = table->Fields();
  const std::vector<bool> locatable = Locatable(fields);

  // Every row and field, as each kind of reader asks for it; the texts are kept for the checks.
  std::vector<std::vector<std::string>> texts;
  std::vector<int> numbers;
  int last = 0;
  for (table->First(); !table->Eof(); table->Next()) {
    if (table->RecNo() <= last) Finding("the walk goes back", std::to_string(table->RecNo()));
    last = table->RecNo();
    numbers.push_back(last);
    std::vector<std::string>& row = texts.emplace_back();
    for (const tc::store::FieldDef& field : fields) {
      row.push_back(table->GetText(field.name));
      if (table->IsBlank(field.name) && !row.back().empty()) {
        Finding("a blank field reads as a text", field.name + ": " + row.back());
      }
      if (texts.size() > kCheckedRows) continue;
      MayRefuse([&] { (void)table->GetInteger(field.name); });
      MayRefuse([&] { (void)table->GetFloat(field.name); });
      MayRefuse([&] { (void)table->GetBoolean(field.name); });
    }
  }
  if (static_cast<int>(texts.size()) != table->RecordCount()) {
    Finding("the walk and the record count differ",
            std::to_string(texts.size()) + " / " + std::to_string(table->RecordCount()));
  }

  // Locate finds each value read: the first row holding it, which is this row or an earlier one.
  for (std::size_t r = 0; r < texts.size() && r < kCheckedRows; ++r) {
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (!locatable[f]) continue;
      const std::string& value = texts[r][f];
      if (!table->Locate(fields[f].name, value)) Finding("Locate misses a value", value);
      if (table->RecNo() > numbers[r] || table->GetText(fields[f].name) != value) {
        Finding("Locate finds another row", fields[f].name + " = " + value);
      }
    }
  }

  // Saved after a change, the table reopens with the same values.
  if (texts.empty()) return 0;
  table->First();
  table->Delete();
  try {
    table->Close();
  } catch (const tc::TableError& error) {
    Finding("a table read cannot be saved", error.what());
  }
  try {
    table.emplace(Table::Open(path, OpenMode::Shared, files));
    table->RequireComplete();
  } catch (const tc::TableError& error) {
    Finding("a saved table does not open again", error.what());
  }
  std::size_t r = 1;
  for (table->First(); !table->Eof(); table->Next(), ++r) {
    if (r >= texts.size()) Finding("a saved table has more rows", std::to_string(r));
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (table->GetText(fields[f].name) != texts[r][f]) {
        Finding("a saved table changes a value", fields[f].name + " = " + texts[r][f]);
      }
    }
  }
  if (r != texts.size()) Finding("a saved table has fewer rows", std::to_string(r));
  return 0;
}
