// Helpers shared by the test programs: a fresh temporary folder per test, files from text, a
// scripted user, and tables read back as rows of text.
#pragma once

#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/context.h"
#include "run/interaction.h"
#include "run/run_state.h"
#include "run/school_year_dialog.h"

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

// Every live row of a table as field name -> text (GetText of each field), in file order.
using Row = std::map<std::string, std::string>;
std::vector<Row> ReadRows(const std::filesystem::path& table_file);

// A user who answers from a script and records what was shown.
class ScriptedInteraction : public Interaction {
 public:
  std::optional<std::filesystem::path> file;   // the file chosen (nullopt: cancel)
  std::map<Question, bool> answers;            // answers to Confirm; No when not given
  std::optional<std::string> template_code;    // typed into the template combo (else as preset)
  std::optional<std::string> language;         // typed into the language combo
  std::optional<std::string> school_year;      // typed into the school-year combo
  bool close_template_dialog = false;          // Escape (or the close box) in the template dialog
  std::map<GuardKind, bool> go_on;             // answers to the guards; No when not given

  std::vector<std::string> informed;           // texts of the Inform boxes
  std::vector<Question> questions;             // the questions asked, in order
  std::vector<std::string> errors;             // ShowError messages
  std::vector<Guard> guards;                   // the guards asked, in order
  std::vector<std::filesystem::path> proposed;  // the files the file dialog was to open on
  int template_dialogs = 0;
  int school_year_dialogs = 0;

  std::optional<std::filesystem::path> ChooseItacaFile() override { return file; }
  void ProposeFile(const std::filesystem::path& proposal) override {
    proposed.push_back(proposal);
  }
  void Inform(Notice notice) override { informed.emplace_back(NoticeText(notice)); }
  bool Confirm(Question question) override;
  void ShowError(const Error& error) override { errors.emplace_back(error.what()); }
  std::optional<TemplateChoice> ChooseTemplate(TemplateDialog& dialog) override;
  void ChooseSchoolYear(SchoolYearDialog& dialog) override;
  bool GoOnDespite(const Guard& guard) override;
};

// One conversion's surroundings for stage tests: a document parsed from inline XML (UTF-8), an
// empty working folder with the run's staged tables, a run state and a scripted user. Run stages
// with context().
class ConversionRun {
 public:
  explicit ConversionRun(std::string_view xml_utf8);
  ConversionContext& context() { return ctx; }
  // Live rows of a working table the run staged, e.g. Rows("PROFT").
  std::vector<Row> Rows(std::string_view table) const;

  TempDir dir;
  store::StagedTables tables;
  RunState state;
  ScriptedInteraction ui;
  itaca::Document document;
  ConversionContext ctx;
};

}  // namespace tc::test
