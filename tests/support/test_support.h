// Helpers shared by every test program: a fresh temporary folder per test, files from text and
// back, what a run may leave behind. Tables read back as rows are in table_rows.h, a scripted
// conversion in conversion_run.h, a scripted user in scripted_interaction.h.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tc::test {

// A new empty folder under the system's temporary folder (or under `parent`), removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  explicit TempDir(const std::filesystem::path& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// Every file under a folder by its path relative to the folder ("PROFT.DBF",
// "TransClepsaItaca/copias/0001/PROFT.DBF"), with its bytes: what a run created, changed or
// removed shows as a difference. The run lock, which any run may leave in our folder, is left out.
std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder);
std::string ReadFile(const std::filesystem::path& path);

// What only a run in progress may leave under a folder, by relative path: temporary files, a
// backup generation being made, the commit journal, the record of temporaries outside the folder.
std::vector<std::string> LeftoversOfARun(const std::filesystem::path& folder);

#ifdef _WIN32
// A file held open the way Clepsa holds a table it has open: for reading and writing, sharing
// both with other programs but not the file's deletion or replacement. Let go when the object
// goes.
class HeldAsByClepsa {
 public:
  explicit HeldAsByClepsa(const std::filesystem::path& file);
  ~HeldAsByClepsa();
  HeldAsByClepsa(const HeldAsByClepsa&) = delete;
  HeldAsByClepsa& operator=(const HeldAsByClepsa&) = delete;

 private:
  void* handle_;
};

// The name of the user locale this program runs with, such as "es-ES".
std::string UserLocaleName();
#endif

// Windows-1252 text from a UTF-8 literal, so tests can be written with accents.
std::string W(std::string_view utf8);

}  // namespace tc::test
