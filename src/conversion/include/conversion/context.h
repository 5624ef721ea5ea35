// What every conversion stage works with: the loaded document, the conversion's state, the
// tables the run builds aside, whoever answers the two questions, the lists of codes already
// given, and the report the stages record into.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "conversion/conversion.h"
#include "itaca/document.h"
#include "report/report.h"
#include "report/timetable.h"
#include "store/staged_tables.h"

namespace tc {

struct GroupLessons;  // group_timetables.cpp
struct DutyPeriods;   // occupation_timetables.cpp

struct ConversionContext {
  const itaca::Document& document;
  const ConversionState& state;
  store::StagedTables& tables;  // every table a stage creates or opens
  Questions& questions;

  // The case-sensitive lists of the subjects stage (hash sets: only membership is asked of
  // them); empty at the start of every run.
  std::unordered_set<std::string> UsedCodes;          // every ASIGNOMT.COD written
  std::unordered_set<std::string> UsedNames;          // subject and task names already met
  std::unordered_set<std::string> ItacaSubjectCodes;  // ITACA codes of the subject rows written

  // Every code a stage renames, element it passes over or leaves out and row it deletes, recorded
  // where the rule acts.
  report::Report report{report::Report::Kind::Conversion};

  // Whether the report shows ITACA's own timetable of the template (a run that keeps a report):
  // the group timetables stage then keeps the lessons it read for it when it read the whole
  // collection. `template_classes` gives them as the report shows them, in a list with room for
  // `more` lessons after them (the duty periods): empty when none were kept.
  bool keep_report_timetable = false;
  std::function<report::Lessons(std::size_t more)> template_classes{};

  // The group timetables' lessons of the template, when ReadGroupLessonsBeside started reading
  // them at the run's start; the group stage reads them in turn otherwise.
  std::future<std::shared_ptr<GroupLessons>> group_lessons{};
  // The occupation timetables' periods, when ReadDutyPeriodsBeside started reading them at the
  // group stage; the occupation stage reads them in turn otherwise.
  std::future<std::shared_ptr<DutyPeriods>> duty_periods{};
};

// The day of a dia_semana letter: 1 Monday (L) to 7 Sunday (D); 0 for any other text.
int DayOfWeek(std::string_view letter);

// Where an element is, for the report: its collection, position and line.
inline report::Location Where(const itaca::Element& element) {
  return report::Location::OfElement(element.Collection(), element.Position(), element.Line());
}

// The list rule (itaca::ElementList::Listed) with its entry in the report: the elements of the
// collection a stage reads, none for a collection of exactly one element, which is recorded as
// passed over (one entry for the collection). The list must outlive the result.
inline std::span<const itaca::Element> TakeList(ConversionContext& ctx,
                                                const itaca::ElementList& list) {
  const std::span<const itaca::Element> listed = list.Listed();
  if (listed.empty() && !list.Empty()) {
    ctx.report.Add(report::Reason::SingleElementList, Where(list[0]));
  }
  return listed;
}
std::span<const itaca::Element> TakeList(ConversionContext& ctx,
                                         const itaca::ElementList&& list) = delete;

}  // namespace tc
