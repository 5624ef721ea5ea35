// The conversion, ITACA to Clepsa, as the run layer drives it: the state the stages share, the
// two questions they may ask, and the ten stages run in order on a working folder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_numbers.h"
#include "itaca/document.h"
#include "report/timetable.h"

namespace tc {

namespace store {
class StagedTables;
}
namespace report {
class Report;
}

// The two entries of the language combo box. Any other text acts as "not Valencian".
inline constexpr std::string_view kValencian = "VALENCI\xC1";  // VALENCIÁ
inline constexpr std::string_view kCastilian = "CASTELLANO";

// What the stages read of the run (named as the main window names it). Texts are Windows-1252.
struct ConversionState {
  std::string SelectedTemplateCode;        // the time template chosen
  std::string SelectedTemplateShift;       // its shift, as the template dialog showed it
  std::string LanguageChoice{kValencian};  // text of the language combo box
  std::vector<std::string> ListBoxPlanti;  // the chosen template's period lines
};

// Which templates' lessons and duty periods the conversion took, as the group timetables stage
// decided: every template's (the answer Yes to the multi-template question, or a document without
// group timetables, whose question is never asked), or only the selected one's.
enum class TemplatesTaken { All, OnlySelected };

// The questions a conversion may ask, each with its fixed text.
enum class Question {
  ImportAllTemplates,           // "¿Importar Datos de todas las Plantillas?" (Yes: every template)
  RemoveIdleGroupsAndTeachers,  // "¿Quieren quitar dichos Grupos y Profesores...?" (Yes: remove)
};
// The question's text as the confirmation box shows it (lines joined by CR LF).
std::string QuestionText(Question question);

// Whoever answers the questions: true for Yes. Closing the box answers No.
class Questions {
 public:
  virtual ~Questions() = default;
  virtual bool Confirm(Question question) = 0;
};

// The rows a table holds after a run.
struct TableRows {
  std::string table;  // "PROFT"
  std::size_t rows = 0;
};

// What the ten stages left: the rows of the seven working tables, and the templates taken.
struct Converted {
  std::vector<TableRows> tables;
  TemplatesTaken templates = TemplatesTaken::All;
};

// Runs the ten stages, in the order each relies on the tables of the ones before it, building
// the seven working tables in `tables`; the caller commits or drops them. When `report` is given
// it receives what the stages recorded and the rows of each table.
Converted ConvertDocument(const itaca::Document& document, const ConversionState& state,
                          Questions& questions, store::StagedTables& tables,
                          report::Report* report = nullptr);

// For the report: the document's own lessons (horario_grupo) and duty periods
// (horario_ocupacion) of the template, as the document holds them. A missing attribute reads as
// empty: the report never ends a run.
report::Lessons TemplateTimetable(const itaca::Document& document,
                                  const std::string& template_code);

// For the export's verification: the same timetable as its hours (report::Timetables::
// itaca_hours), taken as the document is read (the lessons and duty periods of every template)
// and never kept in its tree: the export reads nothing else of them. Load the document with
// Gleanings(), then ask for the template's hours. The reading only copies the texts: those of the
// template's lessons are numbered and counted by Of, which may run on another thread once the
// document is loaded (the document itself may be gone by then).
class TemplateHoursCount {
 public:
  TemplateHoursCount();
  TemplateHoursCount(const TemplateHoursCount&) = delete;  // the gleanings count into this one
  TemplateHoursCount& operator=(const TemplateHoursCount&) = delete;

  std::span<const itaca::Gleaning> Gleanings() const { return gleanings_; }
  // One row per group, subject and teacher, in no particular order. Two texts that convert alike
  // (one with blanks around it) make two rows of one key, which the readers of the hours add up.
  report::HoursList Of(const std::string& template_code);

 private:
  // The fields of a lesson: template, group, subject, teacher (a duty period's duty in place of
  // the subject, and no group).
  static constexpr std::size_t kFields = 4;
  void Keep(bool duty, std::span<const std::optional<std::string_view>> values);

  std::vector<itaca::Gleaning> gleanings_;
  // The lessons as read: their fields' texts (as the document holds them, UTF-8) one after
  // another in `read_texts_`, and their lengths.
  struct Read {
    std::array<std::uint32_t, kFields> sizes;
    bool duty;
  };
  std::string read_texts_;
  std::vector<Read> read_;
  // The group's, subject's and teacher's texts of the lessons counted, each numbered once by
  // field (the template's text is only compared).
  std::array<TextNumbers, kFields - 1> numbers_;
};

// For the report: the periods of the staged DIASHORAST (one per SESION_ORDEN, with its times), in
// order; none when the run has not built it.
std::vector<report::Period> SlotPeriods(store::StagedTables& tables);

}  // namespace tc
