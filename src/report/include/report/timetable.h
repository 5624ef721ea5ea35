// The timetables a run report carries besides its entries: the ITACA document's own lessons of the
// template, the lessons the export wrote, the hours Clepsa is asked to place (ASIGT) and the hours
// it placed (SOLUC), and the template's periods. They give the report's first lines, the export's
// verification and the week grids. Texts are Windows-1252 codes; names come from the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text_numbers.h"

namespace tc::report {

// What a code names.
enum class NameKind : std::uint8_t { Group, Subject, Teacher, Room };
inline constexpr std::size_t kNameKindCount = 4;

struct LessonView;

// One lesson or duty period in one slot of the week.
struct Lesson {
  int day = 0;          // 1 Monday to 7 Sunday; 0 when unknown
  std::string period;   // sesion_orden
  std::string group;    // empty for a duty period
  std::string subject;  // the content, or the duty
  std::string teacher;
  std::string room;
  bool duty = false;
  bool left_out = false;  // export: placed by Clepsa but not written (see the entries)

  Lesson() = default;
  Lesson(int day, std::string period, std::string group, std::string subject, std::string teacher,
         std::string room, bool duty = false, bool left_out = false)
      : day(day),
        period(std::move(period)),
        group(std::move(group)),
        subject(std::move(subject)),
        teacher(std::move(teacher)),
        room(std::move(room)),
        duty(duty),
        left_out(left_out) {}
  Lesson(const LessonView& view);  // NOLINT(google-explicit-constructor): read back as it was
};

// A lesson as a list of them holds it: its codes are views of the list's own texts, there as long
// as the list is, unchanged.
struct LessonView {
  int day = 0;
  std::string_view period, group, subject, teacher, room;
  bool duty = false;
  bool left_out = false;
};

// A school's lessons, tens of thousands of a few thousand codes: each code kept once, numbered, and
// each lesson as its numbers. Read back as views (LessonView); its numbers tell its codes apart
// without comparing their texts.
class Lessons {
 public:
  // A lesson's codes as numbers of the list's texts (Text).
  struct Numbers {
    std::uint32_t period, group, subject, teacher, room;
  };

  Lessons() = default;
  Lessons(std::initializer_list<Lesson> lessons) {
    for (const Lesson& lesson : lessons) push_back(lesson);
  }

  void push_back(const Lesson& lesson) {
    Add(lesson.day, lesson.period, lesson.group, lesson.subject, lesson.teacher, lesson.room,
        lesson.duty, lesson.left_out);
  }
  // A lesson read from another list.
  void Append(const LessonView& lesson) {
    Add(lesson.day, lesson.period, lesson.group, lesson.subject, lesson.teacher, lesson.room,
        lesson.duty, lesson.left_out);
  }
  void Add(int day, std::string_view period, std::string_view group, std::string_view subject,
           std::string_view teacher, std::string_view room, bool duty, bool left_out = false) {
    stored_.push_back({{codes_.Of(period), codes_.Of(group), codes_.Of(subject), codes_.Of(teacher),
                        codes_.Of(room)},
                       day,
                       duty,
                       left_out});
  }
  // A code's number in the list: the same for the same text.
  std::uint32_t Code(std::string_view text) { return codes_.Of(text); }
  // With the codes' numbers (Code).
  void AddNumbered(int day, const Numbers& codes, bool duty, bool left_out = false) {
    stored_.push_back({codes, day, duty, left_out});
  }
  void reserve(std::size_t lessons) { stored_.reserve(lessons); }
  void clear() { *this = Lessons(); }
  std::size_t size() const { return stored_.size(); }
  bool empty() const { return stored_.empty(); }

  LessonView operator[](std::size_t index) const {
    const Stored& s = stored_[index];
    return {s.day,
            Text(s.codes.period),
            Text(s.codes.group),
            Text(s.codes.subject),
            Text(s.codes.teacher),
            Text(s.codes.room),
            s.duty,
            s.left_out};
  }
  const Numbers& NumbersOf(std::size_t index) const { return stored_[index].codes; }
  // The text of a number; every number is below CodeCount.
  std::string_view Text(std::uint32_t code) const { return codes_.Text(code); }
  std::size_t CodeCount() const { return codes_.Size(); }

  class Iterator {
   public:
    using difference_type = std::ptrdiff_t;
    using value_type = LessonView;
    Iterator() = default;
    Iterator(const Lessons* lessons, std::size_t index) : lessons_(lessons), index_(index) {}
    LessonView operator*() const { return (*lessons_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator was = *this;
      ++index_;
      return was;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    const Lessons* lessons_ = nullptr;
    std::size_t index_ = 0;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, stored_.size()}; }

 private:
  struct Stored {
    Numbers codes;
    int day;
    bool duty;
    bool left_out;
  };
  TextNumbers codes_;
  std::vector<Stored> stored_;
};

inline Lesson::Lesson(const LessonView& view)
    : Lesson(view.day, std::string(view.period), std::string(view.group), std::string(view.subject),
             std::string(view.teacher), std::string(view.room), view.duty, view.left_out) {}

// One period of the template's day, with its times.
struct Period {
  std::string order;  // sesion_orden
  std::string from;
  std::string to;
};

// Hours of one group, subject and teacher (an ASIGT row, or SOLUC's records counted).
struct Load {
  std::string group;
  std::string subject;
  std::string teacher;
  std::string room;
  double hours = 0;
  bool duty = false;
};

// Hours by group, subject and teacher with each code kept once: what the export counts of ITACA's
// own timetable of the template and of SOLUC's placed records, tens of thousands of rows of a few
// thousand codes. A key may come more than once.
class HoursList {
 public:
  // A code's number in the list: the same for the same text.
  std::uint32_t Code(std::string_view text) { return codes_.Of(text); }
  void Add(bool duty, std::string_view group, std::string_view subject, std::string_view teacher,
           double hours) {
    AddNumbered(duty, Code(group), Code(subject), Code(teacher), hours);
  }
  // With the codes' numbers (Code).
  void AddNumbered(bool duty, std::uint32_t group, std::uint32_t subject, std::uint32_t teacher,
                   double hours) {
    rows_.push_back({group, subject, teacher, duty, hours});
  }
  void Reserve(std::size_t rows) { rows_.reserve(rows); }
  std::size_t Size() const { return rows_.size(); }

  // Calls f(duty, group, subject, teacher, hours) for every row in the order added. The codes are
  // the list's own texts, there as long as the list is, unchanged.
  template <typename F>
  void ForEach(F f) const {
    for (const Row& row : rows_) {
      f(row.duty, codes_.Text(row.group), codes_.Text(row.subject), codes_.Text(row.teacher),
        row.hours);
    }
  }
  // The same with the codes' numbers (Text), which tell them apart without comparing texts.
  template <typename F>
  void ForEachNumbered(F f) const {
    for (const Row& row : rows_) f(row.duty, row.group, row.subject, row.teacher, row.hours);
  }
  // The text of a number; every number is below CodeCount.
  std::string_view Text(std::uint32_t code) const { return codes_.Text(code); }
  std::size_t CodeCount() const { return codes_.Size(); }

 private:
  struct Row {
    std::uint32_t group, subject, teacher;
    bool duty;
    double hours;
  };
  TextNumbers codes_;
  std::vector<Row> rows_;
};

// The export's verification: every difference names its group, subject and teacher (codes).
struct HoursDifference {
  std::string group, subject, teacher;
  double expected = 0;  // ITACA's document, or ASIGT
  double actual = 0;    // the document written, or SOLUC
  bool duty = false;
};
struct Clash {
  enum class Kind : std::uint8_t { Teacher, Room, Group };
  Kind kind = Kind::Teacher;
  std::string code;  // the teacher, room or group in two places
  int day = 0;
  std::string period;
  std::vector<std::size_t> lessons;  // the lessons of that slot: indexes into Timetables::written
};
// The whole hours of a group (its classes) or of a teacher (its classes and duty periods) on the
// two sides of a comparison.
struct HoursTotal {
  std::string code;
  double expected = 0;
  double actual = 0;
};
struct Verification {
  std::vector<HoursDifference> document;  // ITACA's own timetable beside the document written
  std::vector<HoursDifference> clepsa;    // ASIGT beside SOLUC
  Lessons without_teacher;                // written with an empty docente
  Lessons without_room;                   // written with an empty aula
  std::vector<Clash> clashes;             // teachers and rooms first, then groups
  // The totals of every group and teacher with a difference, in the order of their codes: a
  // teacher's with one of any kind, a group's with one in its classes.
  std::vector<HoursTotal> document_groups, document_teachers, clepsa_groups, clepsa_teachers;
};

// The total of `code` among totals in the order of their codes; null when it has none.
const HoursTotal* FindTotal(const std::vector<HoursTotal>& totals, std::string_view code);

struct Timetables {
  std::vector<Period> periods;  // the template's, in order
  Lessons itaca;                // the ITACA document's own lessons and duty periods of the template
  // Export: the same timetable as its hours by group, subject and teacher: all the verification
  // needs of it, at a fraction of the lessons' size.
  HoursList itaca_hours;
  Lessons written;              // export: the document written, and the placed records left out
  std::vector<Load> asked;      // the ASIGT rows: what Clepsa is asked to place
  HoursList placed;             // export: SOLUC's placed records by group, subject and teacher
  bool provisional_hours = false;  // conversion: ASIGT keeps the 4 provisional hours of every row
  bool verified = false;           // export: `verification` holds Verify's result
  Verification verification;
};

// Compares what the timetables hold. Differences in the order of their group (or teacher), then
// subject; clashes by day and period.
Verification Verify(const Timetables& timetables);
// Verify's result kept in the timetables, which the renderings read.
void KeepVerification(Timetables& timetables);

// A teacher is in two places at once in a slot when its lessons there differ in room or subject
// (one teacher taking several groups together in one room is a joined class); a room, when two
// groups with different teachers meet in it (two teachers with one group is shared teaching). A
// group with two lessons in one slot may be split or shared: listed apart.
bool IsTeacherClash(const std::vector<LessonView>& lessons);
bool IsRoomClash(const std::vector<LessonView>& lessons);

}  // namespace tc::report
