// The export's verification: hours per group, subject and teacher in two timetables side by side,
// lessons written without teacher or room, and who is in two places in one slot.
#include <map>
#include <set>
#include <tuple>

#include "report/timetable.h"

namespace tc::report {

namespace {

using Key =
    std::tuple<bool, std::string, std::string, std::string>;  // duty, group, subject, teacher

// Adds `hours` to the key of every item, and lists the keys whose two sides differ.
struct Sides {
  std::map<Key, std::pair<double, double>> hours;

  void Add(const Key& key, double expected, double actual) {
    auto& both = hours[key];
    both.first += expected;
    both.second += actual;
  }

  std::vector<HoursDifference> Differences() const {
    std::vector<HoursDifference> out;
    for (const auto& [key, both] : hours) {
      if (both.first == both.second) continue;
      const auto& [duty, group, subject, teacher] = key;
      out.push_back({group, subject, teacher, both.first, both.second, duty});
    }
    return out;
  }
};

Key KeyOf(const Lesson& lesson) {
  return {lesson.duty, lesson.group, lesson.subject, lesson.teacher};
}
Key KeyOf(const Load& load) { return {load.duty, load.group, load.subject, load.teacher}; }

}  // namespace

bool IsTeacherClash(const std::vector<const Lesson*>& lessons) {
  for (const Lesson* lesson : lessons) {
    if (lesson->duty || lesson->room != lessons.front()->room ||
        lesson->subject != lessons.front()->subject) {
      return true;
    }
  }
  return false;
}

bool IsRoomClash(const std::vector<const Lesson*>& lessons) {
  for (const Lesson* a : lessons) {
    for (const Lesson* b : lessons) {
      if (a->group != b->group && a->teacher != b->teacher) return true;
    }
  }
  return false;
}

Verification Verify(const Timetables& timetables) {
  Verification result;

  // ITACA's own timetable of the template beside the document written.
  Sides document;
  for (const Lesson& lesson : timetables.itaca) document.Add(KeyOf(lesson), 1, 0);
  std::vector<const Lesson*> written;
  for (const Lesson& lesson : timetables.written) {
    if (lesson.left_out) continue;
    written.push_back(&lesson);
    document.Add(KeyOf(lesson), 0, 1);
    if (lesson.duty) continue;
    if (lesson.teacher.empty()) result.without_teacher.push_back(lesson);
    if (lesson.room.empty()) result.without_room.push_back(lesson);
  }
  result.document = document.Differences();

  // The hours Clepsa was asked to place beside the hours it placed.
  Sides clepsa;
  for (const Load& load : timetables.asked) clepsa.Add(KeyOf(load), load.hours, 0);
  for (const Load& load : timetables.placed) clepsa.Add(KeyOf(load), 0, load.hours);
  result.clepsa = clepsa.Differences();

  // Who is where in each slot.
  using Slot = std::tuple<std::string, int, std::string>;  // code, day, period
  std::map<Slot, std::vector<const Lesson*>> teachers, rooms, groups;
  for (const Lesson* lesson : written) {
    if (!lesson->teacher.empty()) {
      teachers[{lesson->teacher, lesson->day, lesson->period}].push_back(lesson);
    }
    if (lesson->duty) continue;
    if (!lesson->room.empty()) rooms[{lesson->room, lesson->day, lesson->period}].push_back(lesson);
    groups[{lesson->group, lesson->day, lesson->period}].push_back(lesson);
  }
  auto gather = [&](const auto& by_slot, Clash::Kind kind, auto is_clash) {
    for (const auto& [slot, lessons] : by_slot) {
      if (lessons.size() < 2 || !is_clash(lessons)) continue;
      Clash clash{kind, std::get<0>(slot), std::get<1>(slot), std::get<2>(slot), {}};
      for (const Lesson* lesson : lessons) clash.lessons.push_back(*lesson);
      result.clashes.push_back(std::move(clash));
    }
  };
  gather(teachers, Clash::Kind::Teacher, IsTeacherClash);
  gather(rooms, Clash::Kind::Room, IsRoomClash);
  gather(groups, Clash::Kind::Group, [](const auto&) { return true; });
  return result;
}

}  // namespace tc::report
