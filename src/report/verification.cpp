// The export's verification: hours per group, subject and teacher in two timetables side by side,
// lessons written without teacher or room, and who is in two places in one slot. Open tables keyed
// by the codes' numbers; the lessons of a slot found by sorting, sorted once at the end.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <future>
#include <iterator>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "base/text_numbers.h"
#include "report/timetable.h"

namespace tc::report {

namespace {

// Every code met, numbered: keys of numbers instead of texts. The views point into the
// timetables, which outlive the verification.
using Codes = Numbering<std::string_view>;

// Each code's place among the codes met in their order as texts, by the code's number: two codes
// compare as their places do.
std::vector<std::uint32_t> Ranks(const Codes& codes) {
  const std::vector<std::string_view>& texts = codes.Texts();
  std::vector<std::uint32_t> by_text(texts.size());
  for (std::uint32_t i = 0; i < by_text.size(); ++i) by_text[i] = i;
  std::sort(by_text.begin(), by_text.end(),
            [&texts](std::uint32_t a, std::uint32_t b) { return texts[a] < texts[b]; });
  std::vector<std::uint32_t> ranks(texts.size());
  for (std::uint32_t place = 0; place < by_text.size(); ++place) ranks[by_text[place]] = place;
  return ranks;
}

// The codes of a list that numbers its own (Lessons, HoursList) numbered once more among `codes`,
// each when first met, rather than looked up again by its text for every row.
template <typename List>
class Renumbered {
 public:
  Renumbered(const List& list, Codes& codes)
      : list_(list), codes_(codes), numbers_(list.CodeCount(), kNotYet) {}
  std::uint32_t operator()(std::uint32_t of_list) {
    std::uint32_t& number = numbers_[of_list];
    if (number == kNotYet) number = codes_.Of(list_.Text(of_list));
    return number;
  }

 private:
  static constexpr std::uint32_t kNotYet = UINT32_MAX;
  const List& list_;
  Codes& codes_;
  std::vector<std::uint32_t> numbers_;
};

// Duty, group, subject and teacher in one number (20 bits a code: a million codes at most).
constexpr std::uint64_t kCodeMask = (1ull << 20) - 1;
// A seat's slot: its code above these 24 bits, the day in the four above a period's 20.
constexpr std::uint64_t kDayBits = 0xFull << 20;
std::uint64_t HoursKey(bool duty, std::uint64_t group, std::uint64_t subject,
                       std::uint64_t teacher) {
  return (duty ? 1ull << 63 : 0) | group << 40 | subject << 20 | teacher;
}

// The hours of every group, subject and teacher on both sides. The codes are kept as their
// numbers, their texts copied only into the differences found.
class Sides {
 public:
  Sides(Codes& codes, std::size_t expected) : codes_(codes) {
    std::size_t size = 64;
    while (size < expected * 2) size *= 2;
    slots_.assign(size, Slot{});
    both_.reserve(expected);
  }

  void Add(bool duty, std::string_view group, std::string_view subject, std::string_view teacher,
           double expected, double actual) {
    Add(duty, codes_.Of(group), codes_.Of(subject), codes_.Of(teacher), expected, actual);
  }
  // With the codes' numbers.
  void Add(bool duty, std::uint32_t group, std::uint32_t subject, std::uint32_t teacher,
           double expected, double actual) {
    Both& both = Find(HoursKey(duty, group, subject, teacher), duty, group, subject, teacher);
    both.expected += expected;
    both.actual += actual;
  }

  // The totals of the groups (`by_teacher` false: their classes) or of the teachers (everything
  // they teach) that have a difference, in the order of their codes: summed from the keys, not
  // from every lesson again.
  std::vector<HoursTotal> Totals(bool by_teacher) const {
    const auto code_of = [by_teacher](const Both& both) {
      return by_teacher ? both.teacher : both.group;
    };
    std::vector<bool> differs(codes_.Size());
    for (const Both& both : both_) {
      if (both.expected == both.actual ||
          (by_teacher ? codes_.Text(both.teacher).empty() : both.duty)) {
        continue;
      }
      differs[code_of(both)] = true;
    }
    std::vector<std::pair<double, double>> sums(codes_.Size());
    for (const Both& both : both_) {
      if (!by_teacher && both.duty) continue;
      const std::uint32_t code = code_of(both);
      if (!differs[code]) continue;
      sums[code].first += both.expected;
      sums[code].second += both.actual;
    }
    std::vector<HoursTotal> totals;
    for (std::uint32_t code = 0; code < differs.size(); ++code) {
      if (differs[code]) {
        totals.push_back({std::string(codes_.Text(code)), sums[code].first, sums[code].second});
      }
    }
    std::sort(totals.begin(), totals.end(),
              [](const HoursTotal& a, const HoursTotal& b) { return a.code < b.code; });
    return totals;
  }

  // Those whose two sides differ, by duty, group, subject and teacher; `ranks` are the codes'
  // places (Ranks) once every code of both sides is numbered.
  std::vector<HoursDifference> Differences(const std::vector<std::uint32_t>& ranks) const {
    std::vector<const Both*> differ;
    for (const Both& both : both_) {
      if (both.expected != both.actual) differ.push_back(&both);
    }
    if (ranks.size() <= kCodeMask + 1) {
      // The codes' places in their order in one number, as HoursKey makes one of their numbers.
      std::vector<std::pair<std::uint64_t, const Both*>> ordered;
      ordered.reserve(differ.size());
      for (const Both* d : differ) {
        const std::uint64_t key = d->key;
        ordered.push_back({HoursKey(d->duty, ranks[key >> 40 & kCodeMask],
                                    ranks[key >> 20 & kCodeMask], ranks[key & kCodeMask]),
                           d});
      }
      std::sort(ordered.begin(), ordered.end());
      for (std::size_t i = 0; i < ordered.size(); ++i) differ[i] = ordered[i].second;
    } else {
      std::sort(differ.begin(), differ.end(), [this](const Both* a, const Both* b) {
        return std::tuple(a->duty, codes_.Text(a->group), codes_.Text(a->subject),
                          codes_.Text(a->teacher)) < std::tuple(b->duty, codes_.Text(b->group),
                                                                codes_.Text(b->subject),
                                                                codes_.Text(b->teacher));
      });
    }
    std::vector<HoursDifference> out;
    out.reserve(differ.size());
    for (const Both* d : differ) {
      out.push_back({std::string(codes_.Text(d->group)), std::string(codes_.Text(d->subject)),
                     std::string(codes_.Text(d->teacher)), d->expected, d->actual, d->duty});
    }
    return out;
  }

 private:
  struct Both {
    std::uint64_t key;
    std::uint32_t group, subject, teacher;
    bool duty;
    double expected;
    double actual;
  };
  static constexpr std::uint32_t kFree = UINT32_MAX;
  // A key beside its place in `both_`: a lookup reads the hours only once the key is found (at
  // the larger scales the table and the hours are each a cache miss away).
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t place = kFree;
  };

  // The hours of a key, added at zero the first time. An open table of places in `both_`, at
  // most half full.
  Both& Find(std::uint64_t key, bool duty, std::uint32_t group, std::uint32_t subject,
             std::uint32_t teacher) {
    if ((both_.size() + 1) * 2 > slots_.size()) {
      slots_.assign(slots_.size() * 2, Slot{});
      for (std::size_t i = 0; i < both_.size(); ++i) {
        slots_[FreeSlot(both_[i].key)] = {both_[i].key, static_cast<std::uint32_t>(i)};
      }
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = Spread(key) & mask;
    for (; slots_[at].place != kFree; at = (at + 1) & mask) {
      if (slots_[at].key == key) return both_[slots_[at].place];
    }
    slots_[at] = {key, static_cast<std::uint32_t>(both_.size())};
    return both_.emplace_back(Both{key, group, subject, teacher, duty, 0, 0});
  }
  std::size_t FreeSlot(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = Spread(key) & mask;
    while (slots_[at].place != kFree) at = (at + 1) & mask;
    return at;
  }
  // The key's bits mixed, so that keys alike but for their high codes spread over the table.
  static std::size_t Spread(std::uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdull;
    key ^= key >> 33;
    return static_cast<std::size_t>(key);
  }

  Codes& codes_;
  std::vector<Slot> slots_;
  std::vector<Both> both_;
};

// One lesson in one slot of a teacher, room or group: the code, the day and the period in one
// number, and the lesson's place in the written timetable. Sorted (SortBySlot), the lessons of
// one slot lie together in the order they were written.
struct Seat {
  std::uint64_t slot;
  std::uint32_t lesson;
};

// Sorted by slot, the lessons of a slot in the order they came (the order they were written): a
// radix sort by the slot's bits, 11 at a time, over the bits that are not the same in every seat.
void SortBySlot(std::vector<Seat>& seats) {
  constexpr int kDigitBits = 11;
  constexpr std::uint64_t kDigit = (1u << kDigitBits) - 1;
  std::uint64_t any = 0, all = ~std::uint64_t{0};
  for (const Seat& seat : seats) {
    any |= seat.slot;
    all &= seat.slot;
  }
  std::vector<Seat> sorted(seats.size());
  std::vector<std::size_t> starts(kDigit + 1);
  for (int shift = 0; shift < 64; shift += kDigitBits) {
    if (((any ^ all) >> shift & kDigit) == 0) continue;  // one digit for all: in order already
    std::fill(starts.begin(), starts.end(), 0);
    for (const Seat& seat : seats) ++starts[seat.slot >> shift & kDigit];
    std::size_t at = 0;
    for (std::size_t& start : starts) at += std::exchange(start, at);
    for (const Seat& seat : seats) sorted[starts[seat.slot >> shift & kDigit]++] = seat;
    seats.swap(sorted);
  }
}

// The clashes of one kind among `seats`, which it sorts: every slot of two lessons or more that
// `is_clash` takes, by code, day and period, with its lessons in the order they were written.
template <typename CodeOf, typename IsClash>
std::vector<Clash> ClashesOf(const Lessons& written, std::vector<Seat>& seats, Clash::Kind kind,
                             CodeOf code_of, IsClash is_clash) {
  SortBySlot(seats);
  std::vector<Clash> found;
  std::vector<LessonView> lessons;
  for (std::size_t from = 0, to = 0; from < seats.size(); from = to) {
    while (to < seats.size() && seats[to].slot == seats[from].slot) ++to;
    if (to - from < 2) continue;
    lessons.clear();
    for (std::size_t i = from; i < to; ++i) lessons.push_back(written[seats[i].lesson]);
    if (!is_clash(lessons)) continue;
    const LessonView& first = lessons.front();
    Clash clash{kind, std::string(code_of(first)), first.day, std::string(first.period), {}};
    for (std::size_t i = from; i < to; ++i) clash.lessons.push_back(seats[i].lesson);
    found.push_back(std::move(clash));
  }
  // In that order already, unless there were too many codes to key by their places.
  const auto listed = [](const Clash& a, const Clash& b) {
    return std::tie(a.code, a.day, a.period) < std::tie(b.code, b.day, b.period);
  };
  if (!std::is_sorted(found.begin(), found.end(), listed)) {
    std::sort(found.begin(), found.end(), listed);
  }
  return found;
}

}  // namespace

bool IsTeacherClash(const std::vector<LessonView>& lessons) {
  for (const LessonView& lesson : lessons) {
    if (lesson.duty || lesson.room != lessons.front().room ||
        lesson.subject != lessons.front().subject) {
      return true;
    }
  }
  return false;
}

bool IsRoomClash(const std::vector<LessonView>& lessons) {
  for (const LessonView& a : lessons) {
    for (const LessonView& b : lessons) {
      if (a.group != b.group && a.teacher != b.teacher) return true;
    }
  }
  return false;
}

Verification Verify(const Timetables& timetables) {
  Verification result;

  // The hours Clepsa was asked to place beside the hours it placed, their codes numbered apart:
  // on a thread of their own, beside the document's side (in turn when no thread can be had).
  auto clepsa = std::async([&timetables] {
    Codes codes;
    Sides side(codes, timetables.asked.size());
    for (const Load& l : timetables.asked)
      side.Add(l.duty, l.group, l.subject, l.teacher, l.hours, 0);
    Renumbered placed(timetables.placed, codes);
    timetables.placed.ForEachNumbered([&](bool duty, std::uint32_t group, std::uint32_t subject,
                                          std::uint32_t teacher, double hours) {
      side.Add(duty, placed(group), placed(subject), placed(teacher), 0, hours);
    });
    return std::tuple(side.Differences(Ranks(codes)), side.Totals(false), side.Totals(true));
  });

  // ITACA's own timetable of the template beside the document written; who is where in each
  // slot of the document written.
  // A school's lessons share a few thousand codes: the table grows with them, as they are met.
  Codes codes;
  Sides document(codes, timetables.itaca.size() / 2 + timetables.itaca_hours.Size());
  // ITACA's side in whichever form the timetables hold it: every lesson of `itaca` one hour,
  // then every row of `itaca_hours`.
  for (const LessonView l : timetables.itaca) {
    document.Add(l.duty, l.group, l.subject, l.teacher, 1.0, 0);
  }
  Renumbered itaca_hours(timetables.itaca_hours, codes);
  timetables.itaca_hours.ForEachNumbered([&](bool duty, std::uint32_t group, std::uint32_t subject,
                                             std::uint32_t teacher, double hours) {
    document.Add(duty, itaca_hours(group), itaca_hours(subject), itaca_hours(teacher), hours, 0);
  });
  std::vector<Seat> teachers, rooms, groups;
  teachers.reserve(timetables.written.size());
  rooms.reserve(timetables.written.size());
  groups.reserve(timetables.written.size());
  // The written timetable's codes are numbered already: each is numbered once more among the
  // document side's, when first met, rather than looked up again for every lesson.
  const Lessons& written = timetables.written;
  Renumbered code(written, codes);
  for (std::size_t i = 0; i < written.size(); ++i) {
    const LessonView lesson = written[i];
    if (lesson.left_out) continue;
    const Lessons::Numbers& of = written.NumbersOf(i);
    const std::uint32_t group = code(of.group), teacher = code(of.teacher);
    document.Add(lesson.duty, group, code(of.subject), teacher, 0, 1);
    const std::uint64_t when = static_cast<std::uint64_t>(lesson.day & 0xF) << 20 | code(of.period);
    const auto at = static_cast<std::uint32_t>(i);
    if (!lesson.teacher.empty()) teachers.push_back({std::uint64_t{teacher} << 24 | when, at});
    if (lesson.duty) continue;
    if (lesson.teacher.empty()) result.without_teacher.Append(lesson);
    if (lesson.room.empty()) {
      result.without_room.Append(lesson);
    } else {
      rooms.push_back({std::uint64_t{code(of.room)} << 24 | when, at});
    }
    groups.push_back({std::uint64_t{group} << 24 | when, at});
  }
  // Every code of the written timetable is numbered now. Its seats are keyed by their codes'
  // places instead: sorted, a kind's slots then come in the order its clashes are listed in.
  const std::vector<std::uint32_t> ranks = Ranks(codes);
  if (ranks.size() <= kCodeMask + 1) {
    for (std::vector<Seat>* seats : {&teachers, &rooms, &groups}) {
      for (Seat& seat : *seats) {
        seat.slot = std::uint64_t{ranks[seat.slot >> 24]} << 24 | (seat.slot & kDayBits) |
                    ranks[seat.slot & kCodeMask];
      }
    }
  }
  result.document = document.Differences(ranks);
  result.document_groups = document.Totals(false);
  result.document_teachers = document.Totals(true);

  // The rooms' and groups' clashes beside the teachers'.
  auto rooms_and_groups = std::async([&] {
    std::vector<Clash> found = ClashesOf(
        written, rooms, Clash::Kind::Room, [](const LessonView& l) { return l.room; }, IsRoomClash);
    std::vector<Clash> of_groups = ClashesOf(
        written, groups, Clash::Kind::Group, [](const LessonView& l) { return l.group; },
        [](const auto&) { return true; });
    found.insert(found.end(), std::make_move_iterator(of_groups.begin()),
                 std::make_move_iterator(of_groups.end()));
    return found;
  });
  result.clashes = ClashesOf(
      written, teachers, Clash::Kind::Teacher, [](const LessonView& l) { return l.teacher; },
      IsTeacherClash);
  std::vector<Clash> others = rooms_and_groups.get();
  result.clashes.insert(result.clashes.end(), std::make_move_iterator(others.begin()),
                        std::make_move_iterator(others.end()));
  std::tie(result.clepsa, result.clepsa_groups, result.clepsa_teachers) = clepsa.get();
  return result;
}

const HoursTotal* FindTotal(const std::vector<HoursTotal>& totals, std::string_view code) {
  const auto at = std::lower_bound(
      totals.begin(), totals.end(), code,
      [](const HoursTotal& total, std::string_view sought) { return total.code < sought; });
  return at != totals.end() && at->code == code ? &*at : nullptr;
}

void KeepVerification(Timetables& timetables) {
  timetables.verification = Verify(timetables);
  timetables.verified = true;
}

}  // namespace tc::report
