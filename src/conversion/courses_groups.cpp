// CURSOST and GRUPOST: the ITACA courses that qualify and every class group, joined to their
// teaching (level), to their course (through the course links) and to their tutor in PROFT.
#include <span>
#include <string>
#include <unordered_map>

#include "base/text.h"
#include "conversion/short_codes.h"
#include "conversion/stages.h"
#include "store/schemas.h"

namespace tc {

namespace {

constexpr std::size_t kGroupCodeWidth = 10;  // GRUPOST.ABREV
constexpr int kRepeatBase = 9;  // a repeated code of 10 or more keeps 9 before its number
constexpr int kShortHead = 8;   // a code too long keeps its first 8 ...
constexpr int kShortTail = 2;   // ... and its last 2 characters

// First element of a collection whose key attribute equals a given text, exactly and with case,
// in document order. Equivalent to scanning the collection from its start for every lookup,
// reading the key of exactly the elements such a scan would read, but each element only once:
// the scan goes on from where an earlier lookup stopped. The elements are those the list rule
// reads (TakeList): a collection of one element never matches.
class FirstMatch {
 public:
  FirstMatch(std::span<const itaca::Element> list, std::string_view key_attribute)
      : list_(list), key_attribute_(key_attribute) {}

  bool Active() const { return !list_.empty(); }

  const itaca::Element* Find(const std::string& key) {
    if (!Active()) return nullptr;
    if (auto found = first_.find(key); found != first_.end()) return &list_[found->second];
    while (scanned_ < list_.size()) {
      const std::size_t index = scanned_++;
      std::string element_key = list_[index].Attr(key_attribute_);
      const bool match = element_key == key;
      first_.try_emplace(std::move(element_key), index);
      if (match) return &list_[index];
    }
    return nullptr;
  }

 private:
  std::span<const itaca::Element> list_;
  std::string key_attribute_;
  std::size_t scanned_ = 0;
  std::unordered_map<std::string, std::size_t> first_;  // key -> first element holding it
};

// NIVEL: the abbreviation of the teaching whose code is given, else empty.
std::string LevelOf(FirstMatch& teachings, const std::string& teaching_code) {
  const itaca::Element* teaching = teachings.Find(teaching_code);
  return teaching ? teaching->Attr("abreviatura") : std::string();
}

// A code longer than the field keeps its first 8 and its last 2 characters.
std::string ShortenGroupCode(const std::string& code) {
  if (code.size() <= kGroupCodeWidth) return code;
  return Left(code, kShortHead) + Right(code, kShortTail);
}

// The n-th candidate for a repeated group code: the (cut) code and the number, shortened to
// 8 + 2 characters when too long. From 100 on the 8 + 2 form would repeat earlier candidates,
// so the code is cut to leave room for the whole number instead.
std::string GroupCandidate(const std::string& base, long n) {
  std::string number = std::to_string(n);
  if (number.size() > static_cast<std::size_t>(kShortTail)) {
    return NumberedCode(base, n, kGroupCodeWidth);
  }
  return ShortenGroupCode(base + number);
}

// The group's ABREV: its code when free (shortened when too long); otherwise the code, cut to 9
// characters when it has 10 or more, with the first number whose final form is free. The final,
// shortened form is what is tested, so two long codes that shorten alike never share an ABREV.
std::string UniqueGroupCode(const std::string& code, CodesSeen& seen) {
  std::string candidate = ShortenGroupCode(code);
  if (!seen.Contains(candidate)) return candidate;
  const std::string base = code.size() >= kGroupCodeWidth ? Left(code, kRepeatBase) : code;
  return seen.FirstFreeInSeries(base, [&](long n) { return GroupCandidate(base, n); });
}

// A course written only when it has a parent, or when its abbreviation starts with the course
// number (a digit).
bool CourseQualifies(const itaca::Element& course) {
  if (!course.Attr("padre").empty()) return true;
  const std::string abbreviation = course.Attr("abreviatura");
  return !abbreviation.empty() && abbreviation.front() >= '0' && abbreviation.front() <= '9';
}

void ImportCourses(ConversionContext& ctx, store::Table& cursost, FirstMatch& teachings,
                   const itaca::ElementList& courses) {
  const std::string shift = Left(ctx.state.SelectedTemplateShift, 1);
  for (const itaca::Element& course : TakeList(ctx, courses)) {
    if (!CourseQualifies(course)) {
      // The report names the course by its code, which the rule itself does not read: an
      // absent one reads as empty here rather than ending the run.
      ctx.report.Add(report::Reason::CourseSkipped, Where(course))
          .Code("codigo", course.TryAttr("codigo").value_or(std::string()))
          .Code("abreviatura", course.Attr("abreviatura"));
      continue;
    }
    const std::string abbreviation = course.Attr("abreviatura");
    const std::string key = course.Attr("codigo");
    // The course's teaching is read only while there are teachings to join with.
    const std::string level =
        teachings.Active() ? LevelOf(teachings, course.Attr("ensenanza")) : std::string();

    cursost.Append();
    cursost.SetText("ABREV", Left(abbreviation, 3));
    cursost.SetText("TURNO", shift);
    cursost.SetText("NIVEL", level);
    cursost.SetText("CURSO", Left(abbreviation, 1));
    cursost.SetText("CLAVE", key);
    cursost.SetText("ESTUD", abbreviation);
    cursost.Post();
  }
}

void ImportGroups(ConversionContext& ctx, store::Table& grupost, store::Table& proft,
                  FirstMatch& teachings, FirstMatch& course_links,
                  const itaca::ElementList& groups) {
  CodesSeen codes_seen;  // every ABREV given in this run
  for (const itaca::Element& group : TakeList(ctx, groups)) {
    const std::string key = group.Attr("codigo");
    const std::string description = group.Attr("nombre");
    ctx.report.Name(report::NameKind::Group, key, description);
    const std::string shift = group.Attr("turno");
    const std::string teaching = group.Attr("ensenanza");

    const std::string level = LevelOf(teachings, teaching);
    const itaca::Element* link = course_links.Find(key);
    const std::string course_key = link ? link->Attr("curso") : std::string();

    // Tutor: the main one, else the second, by document number in PROFT. A group without
    // either has no tutor (an empty number must not pick a teacher whose DNI is blank).
    std::string tutor_document = group.Attr("tutor_ppal");
    if (tutor_document.empty()) tutor_document = group.Attr("tutor_sec");
    std::string tutor;
    if (!tutor_document.empty() && proft.Locate("DNI", tutor_document)) {
      tutor = proft.GetText("ABREV");
    }

    const std::string code = UniqueGroupCode(key, codes_seen);
    codes_seen.Add(code);
    if (code != key) {
      // The shortened form when that was free, else a number for the repeat.
      ctx.report
          .Renamed(code == ShortenGroupCode(key) ? report::Reason::CodeShortened
                                                 : report::Reason::CodeNumbered,
                   Where(group), key, code)
          .Code("nombre", description);
    }

    grupost.Append();
    grupost.SetText("ABREV", code);
    grupost.SetText("TURNO", shift);
    grupost.SetText("NIVEL", level);
    grupost.SetText("CURSO", Left(key, 1));
    grupost.SetText("GRUPO", Right(key, 1));
    grupost.SetText("DESCRIP", description);
    grupost.SetText("MARCO", "0");
    grupost.SetText("CLAVE", key);  // the ITACA code itself, not the short code
    grupost.SetText("CLAVECURSO", course_key);
    grupost.SetText("ENSENANZA", teaching);
    grupost.SetText("TUTOR", tutor);
    grupost.Post();
  }
}

}  // namespace

void ImportCoursesAndGroups(ConversionContext& ctx) {
  store::Table cursost = ctx.tables.Create(store::CursostTable());
  store::Table grupost = ctx.tables.Create(store::GrupostTable());

  const itaca::ElementList courses = ctx.document.Select(itaca::kCourses);
  const itaca::ElementList teachings_list = ctx.document.Select(itaca::kTeachings);
  FirstMatch teachings(TakeList(ctx, teachings_list), "ensenanza");
  ImportCourses(ctx, cursost, teachings, courses);

  const itaca::ElementList links_list = ctx.document.Select(itaca::kCourseGroupLinks);
  FirstMatch course_links(TakeList(ctx, links_list), "grupo");
  store::Table proft = ctx.tables.Open(store::ProftTable().name, store::OpenMode::Exclusive);
  const itaca::ElementList groups = ctx.document.Select(itaca::kGroups);
  ImportGroups(ctx, grupost, proft, teachings, course_links, groups);

  grupost.Close();
  cursost.Close();
  proft.Close();
}

}  // namespace tc
