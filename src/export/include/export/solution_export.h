// The solution export, Clepsa to ITACA: Clepsa's SOLUC mapped back to ITACA's codes through the
// working tables and written into a new ITACA document. The run layer drives it: it loads the
// document, rebuilds the slot table, asks for the school year, then writes and saves.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/staged_tables.h"

namespace tc {

namespace itaca {
class Document;
}
namespace report {
class Report;
}

// "ResultadoClepsa" followed by the input's file name, in the input's folder.
std::filesystem::path ExportFileName(const std::filesystem::path& itaca_file);

// The centre's identity as the input's root carries it, trimmed.
struct CentreIdentity {
  std::string codigo;
  std::string denominacion;
  std::string curso;
  std::string version;
};

// Reads the four root attributes the new root is made of. Throws DocumentError naming the file
// when the root or one of the attributes is missing: such a document cannot be exported.
CentreIdentity ReadIdentity(const itaca::Document& document);

// The eight tables an export reads, in the order it opens them: SOLUC, GRUPOST, CURSOST, PROFT,
// AULAT, ASIGNOMT, DIASHORAST, ASIGT.
const std::vector<std::string>& ExportTables();

// The eight tables of an export, opened exclusively in the order of ExportTables while the object
// lives (CURSOST and ASIGT only so that no other program changes them meanwhile): DIASHORAST as
// the run rebuilt it in `tables`, the other seven from the working folder. Throws TableError when
// one cannot be opened, or holds fewer records than its header says: an export never sends half
// a timetable.
class SolutionTables {
 public:
  explicit SolutionTables(store::StagedTables& tables);
  ~SolutionTables();
  SolutionTables(const SolutionTables&) = delete;
  SolutionTables& operator=(const SolutionTables&) = delete;
  // Nothing was changed, so closing writes nothing; SOLUC stays as Clepsa wrote it.
  void Close();

  struct Tables;
  Tables& tables() { return *tables_; }

 private:
  std::unique_ptr<Tables> tables_;
};

// What the new document is made of besides SOLUC. Texts are Windows-1252.
struct ExportChoice {
  std::string template_code;  // written as every entry's plantilla
  std::string school_year;    // the new root's curso
  std::string export_date;    // the new root's fecha_exportacion
};

struct ExportCounts {
  std::size_t group_lessons = 0;  // horario_grupo elements written
  std::size_t duty_periods = 0;   // horario_ocupacion elements written
  std::size_t records = 0;        // SOLUC records read
  std::size_t slots = 0;          // DIASHORAST rows
};

// Replaces the document's root by a new `centro` with the identity and the choice, and writes
// one horario_grupo per placed class and one horario_ocupacion per placed duty of SOLUC, in
// SOLUC's order, both containers even when empty. When `report` is given, every SOLUC record
// left out, and every class written without its teacher or room, goes into it with the reason,
// with what the verification compares the written timetable with; ITACA's own timetable of the
// template is the caller's to put there first (TemplateHoursCount, as the document is read), and
// the verification (report::KeepVerification) the caller's to run after.
ExportCounts WriteTimetable(SolutionTables& tables, itaca::Document& document,
                            const CentreIdentity& identity, const ExportChoice& choice,
                            report::Report* report = nullptr);

// Writes the document beside `output` and commits it with the staged tables (the rebuilt slot
// table) in one crash-safe commit (StagedTables::Commit): the output and the slot table are
// replaced together or not at all. Returns the backup generation of the replaced slot table.
// The document, taken, is released once its bytes are staged: the commit renders the report
// files beside the report alone.
std::optional<store::GenerationInfo> SaveAndCommit(itaca::Document document,
                                                   const std::filesystem::path& output,
                                                   store::StagedTables& tables,
                                                   store::CommitDetails details);

}  // namespace tc
