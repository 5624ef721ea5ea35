// PROFT: one row per ITACA teacher, with a short code made of the initials of the two surnames
// and the first name, unique within the table.
#include <string>

#include "base/text.h"
#include "conversion/short_codes.h"
#include "conversion/stages.h"
#include "store/schemas.h"

namespace tc {

namespace {

// Only this exact value (after trimming) makes the date of taking up the post count.
constexpr std::string_view kCareerTeacher = "D";

// The first character of each non-empty part, letter case as it stands.
std::string TeacherInitials(const std::string& surname1, const std::string& surname2,
                            const std::string& name) {
  std::string initials;
  for (const std::string* part : {&surname1, &surname2, &name}) {
    if (!part->empty()) initials += part->front();
  }
  return initials;
}

}  // namespace

void ImportTeachers(ConversionContext& ctx) {
  store::Table proft = ctx.tables.Create(store::ProftTable());
  CodesSeen codes_seen;  // every ABREV given in this run

  const itaca::ElementList teachers = ctx.document.Select(itaca::kTeachers);
  for (const itaca::Element& teacher : TakeList(ctx, teachers)) {
      // Name: "surname1 surname2, name", nothing left out when a part is empty.
      const std::string surname1 = teacher.Attr("apellido1");
      const std::string surname2 = teacher.Attr("apellido2");
      const std::string name = teacher.Attr("nombre");
      const std::string full_name = surname1 + " " + surname2 + ", " + name;

      // The date of taking up the post is read only for career teachers.
      std::string post_date;
      if (teacher.Attr("tipo_docente") == kCareerTeacher) {
        post_date = teacher.Attr("fecha_ingreso");
      }

      const std::string document = teacher.Attr("documento");
      ctx.report.Name(report::NameKind::Teacher, document, full_name);
      const std::string initials = TeacherInitials(surname1, surname2, name);
      const std::string teaching = teacher.Attr("ensenanza");
      std::string email = teacher.Attr("email1");
      if (email.empty()) email = teacher.Attr("email2");

      // GMJ, then GMJ1, GMJ2...; "gmj" after "GMJ" becomes "gmj1".
      const std::string code = UniqueNumbered(initials, codes_seen);
      codes_seen.Add(code);
      if (code != initials) {
        ctx.report.Renamed(report::Reason::CodeNumbered, Where(teacher), initials, code)
            .Code("documento", document)
            .Code("nombre", full_name);
      }

      proft.Append();
      proft.SetText("ABREV", code);
      proft.SetText("NOMBRE", full_name);
      proft.SetText("EMAIL", email);
      proft.SetText("DNI", document);
      proft.SetText("F_TOMAPOS", post_date);
      proft.SetText("ENSENANZA", teaching);
      proft.Post();
    }
  proft.Close();
}

}  // namespace tc
