// ASIGNOMT, Clepsa's catalogue of subjects and duties: one row per distinct ITACA subject code
// among the contents, then one per duty whose name is not used yet. Every row gets a short code
// (COD) unique over subjects and duties together, an upper-case abbreviation of its name and the
// ITACA code through which later stages and the export translate codes.
#include <unordered_set>
#include <string>
#include <string_view>

#include "base/codepage.h"
#include "base/error.h"
#include "base/text.h"
#include "conversion/stages.h"
#include "store/schemas.h"

namespace tc {

namespace {

constexpr int kCodeWidth = 10;          // ASIGNOMT.COD
constexpr int kAbbreviationWidth = 10;  // ASIGNOMT.CODLARGO
constexpr std::size_t kLongName = 11;   // longer names are abbreviated by their initials
constexpr std::string_view kDutyMark = "*";
constexpr int kDutyCodeDigits = 3;  // a duty's code ends in the last three of its ITACA code
constexpr unsigned char kFirstDutySuffix = 'A';
constexpr unsigned char kLastDutySuffix = 0xFF;

// The name in the run's language: the Valencian text only for exactly "VALENCIÁ", the Castilian
// one for any other language text. The other attribute is never read.
std::string NameOf(const itaca::Element& element, const ConversionState& state) {
  return element.Attr(state.LanguageChoice == kValencian ? "nombre_val" : "nombre_cas");
}

// CODLARGO: a name of more than 11 characters gives its first character and the initials of its
// later words, a shorter one its first 10 characters. Only a-z are raised: "Matemáticas" gives
// "MATEMáTICA", which is what Clepsa has always shown.
std::string Abbreviation(const std::string& name) {
  std::string abbreviation =
      name.size() > kLongName ? Left(name, 1) + Initials(name) : Left(name, kAbbreviationWidth);
  return AsciiUpperCase(abbreviation);
}

// A subject's COD: its ITACA code, or, when that does not fit, its first 8 and last 2 characters.
std::string SubjectCode(const std::string& itaca_code) {
  if (itaca_code.size() <= static_cast<std::size_t>(kCodeWidth)) return itaca_code;
  return Left(itaca_code, kCodeWidth - 2) + Right(itaca_code, 2);
}

// A duty's COD: "*" and the last three characters of its ITACA code. When that is taken, the
// first three characters of it followed by "A", "B", ... through the later character codes, the
// first one free. Once every suffix up to the last character code is taken the run stops, rather
// than wrapping round to codes that hold control characters.
std::string FirstDutyCode(const std::string& itaca_code) {
  return std::string(kDutyMark) + Right(itaca_code, kDutyCodeDigits);
}

std::string DutyCode(const std::string& itaca_code, const std::unordered_set<std::string>& used) {
  std::string code = FirstDutyCode(itaca_code);
  if (!used.contains(code)) return code;
  const std::string base = Left(code, kDutyCodeDigits);
  for (unsigned suffix = kFirstDutySuffix; suffix <= kLastDutySuffix; ++suffix) {
    std::string candidate = base + static_cast<char>(suffix);
    if (!used.contains(candidate)) return candidate;
  }
  throw RunError("Ocupaci\xF3n \"" + itaca_code +
                 "\": no queda ning\xFAn c\xF3"
                 "digo libre de la forma " +
                     base + "A, " + base + "B... en ASIGNOMT",
                 ErrorKind::InvalidData, itaca_code);
}

}  // namespace

void ImportSubjects(ConversionContext& ctx) {
  // The lists belong to this run alone, whatever an earlier run that failed left in them.
  ctx.UsedCodes.clear();
  ctx.UsedNames.clear();
  ctx.ItacaSubjectCodes.clear();

  store::Table subjects = ctx.tables.Create(store::AsignomtTable());
  const itaca::ElementList contents = ctx.document.Select(itaca::kContents);
  store::Table courses = ctx.tables.Open(store::CursostTable().name, store::OpenMode::Exclusive);

  // The list rule; the assignments stage passes a list of one content over again, and the report
  // says so once, here.
  for (const itaca::Element& content : TakeList(ctx, contents)) {
      const std::string itaca_code = content.Attr("codigo");

      std::string level;
      std::string course;
      if (courses.Locate("CLAVE", content.Attr("curso"))) {
        level = courses.GetText("NIVEL");
        course = courses.GetText("CURSO");
      }

      const std::string name = NameOf(content, ctx.state);
      const std::string abbreviation = Abbreviation(name);
      ctx.UsedNames.insert(name);  // even when the content gives no row
      ctx.report.Name(report::NameKind::Subject, itaca_code, name);

      // A code met before: its row keeps a level and a course only while every content of the
      // code agrees on them; one difference empties the field for good.
      if (ctx.ItacaSubjectCodes.contains(itaca_code)) {
        if (subjects.Locate("ABREV_ITACA", itaca_code)) {
          subjects.Edit();
          if (subjects.GetText("DENIVEL") != level) subjects.SetText("DENIVEL", "");
          if (subjects.GetText("DECURSO") != course) subjects.SetText("DECURSO", "");
          subjects.Post();
        }
        continue;
      }

      // A new code whose short form is already taken gives no row.
      const std::string code = SubjectCode(itaca_code);
      if (ctx.UsedCodes.contains(code)) {
        ctx.report.Add(report::Reason::SubjectWithoutRow, Where(content))
            .Code("contenido", itaca_code)
            .Code("curso", content.Attr("curso"))
            .Code("COD", code)
            .Code("nombre", name);
        continue;
      }
      ctx.UsedCodes.insert(code);
      ctx.ItacaSubjectCodes.insert(itaca_code);
      if (code != itaca_code) {
        ctx.report.Renamed(report::Reason::CodeShortened, Where(content), itaca_code, code)
            .Code("curso", content.Attr("curso"))
            .Code("nombre", name);
      }

      subjects.Append();
      subjects.SetText("COD", code);
      subjects.SetText("CODLARGO", abbreviation);
      subjects.SetText("NOMBRE", name);
      subjects.SetBoolean("ESTAREA", false);
      subjects.SetText("DENIVEL", level);
      subjects.SetText("DECURSO", course);
      subjects.SetText("ABREV_ITACA", itaca_code);
      subjects.Post();
    }

  subjects.Close();
  courses.Close();
}

void ImportTasks(ConversionContext& ctx) {
  store::Table tasks = ctx.tables.Open(store::AsignomtTable().name, store::OpenMode::Shared);
  const itaca::ElementList duties = ctx.document.Select(itaca::kDuties);

  for (const itaca::Element& duty : TakeList(ctx, duties)) {
      const std::string itaca_code = duty.Attr("codigo");
      const std::string name = NameOf(duty, ctx.state);
      const std::string abbreviation = Abbreviation(name);
      ctx.report.Name(report::NameKind::Subject, itaca_code, name);

      // A name already given to a subject content or an earlier duty gives no row.
      if (ctx.UsedNames.contains(name)) {
        ctx.report.Add(report::Reason::DutyWithoutRow, Where(duty))
            .Code("ocupacion", itaca_code)
            .Code("nombre", name);
        continue;
      }
      ctx.UsedNames.insert(name);

      const std::string code = DutyCode(itaca_code, ctx.UsedCodes);
      ctx.UsedCodes.insert(code);
      if (const std::string first = FirstDutyCode(itaca_code); code != first) {
        ctx.report.Renamed(report::Reason::DutyCodeLettered, Where(duty), first, code)
            .Code("ocupacion", itaca_code)
            .Code("nombre", name);
      }

      tasks.Append();
      tasks.SetText("COD", code);
      tasks.SetText("CODLARGO", abbreviation);
      tasks.SetText("NOMBRE", name);
      tasks.SetText("CODTAREA", itaca_code);
      tasks.SetBoolean("ESTAREA", true);
      tasks.SetText("ABREV_ITACA", itaca_code);
      tasks.Post();
    }

  tasks.Close();
  ctx.UsedCodes.clear();
  ctx.UsedNames.clear();
}

}  // namespace tc
