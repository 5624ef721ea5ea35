// Occupation timetables: each teacher's weekly duty periods become one ASIGT row per teacher and
// duty, counted in HORAS; then every ASIGT row gets the SESIONES pattern of its hours.
#include <array>
#include <cmath>
#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/stages.h"
#include "element_codes.h"
#include "store/asigt_fields.h"
#include "store/found.h"

namespace tc {

namespace {

// One duty period, as read from its horario_ocupacion element.
struct DutyPeriod {
  std::string_view duty;     // ocupacion (ITACA code)
  std::string_view teacher;  // docente (DNI)
  std::string_view templ;    // plantilla
  std::size_t element;       // its index in the collection, for the report
};

// The periods read, their codes kept together.
class DutyPeriodList {
 public:
  void Reserve(std::size_t periods) { codes_.Reserve(periods, 24); }
  void Add(const itaca::Element& element, std::size_t index) {
    static constexpr std::array<std::string_view, 3> kCodes = {"ocupacion", "docente", "plantilla"};
    codes_.Add(element, index, kCodes, kCodes.size());
  }
  std::size_t Count() const { return codes_.Count(); }
  DutyPeriod operator[](std::size_t i) const {
    const auto c = codes_.Codes(i);
    return {c[0], c[1], c[2], codes_.Index(i)};
  }

 private:
  ElementCodes<3> codes_;
};

// The split of `hours` weekly hours into blocks, one numeral per block, as Clepsa reads SESIONES:
// up to 14 single hours; then one longer first block; from 24 on, blocks of about hours / 14.
std::string SessionPattern(long long hours) {
  if (hours <= 14) return std::string(hours > 0 ? static_cast<std::size_t>(hours) : 0, '1');
  if (hours <= 23) return std::to_string(hours - 13) + std::string(13, '1');

  const long long q = hours / 14;
  const std::string numeral = std::to_string(q);
  if (hours == 14 * q) return numeral + std::string(13, numeral[0]);

  const long long r = hours - 13 * q;
  std::string pattern = r <= 9 ? std::to_string(r) : "9" + std::to_string(r - 9 + q);
  for (int i = 0; i < 13; ++i) pattern += numeral;
  return pattern.substr(0, 14);
}

}  // namespace

// The collection of occupation timetables and its periods as read, up to the fault (a missing
// attribute) that ended the reading.
struct DutyPeriods {
  itaca::ElementList elements;
  DutyPeriodList periods;
  std::exception_ptr fault;
};

namespace {

// Read from the document alone: nothing recorded, nothing asked.
std::shared_ptr<DutyPeriods> ReadDutyPeriods(const itaca::Document& document) {
  auto read = std::make_shared<DutyPeriods>();
  read->elements = document.Select(itaca::kDutyTimetables);
  const itaca::ElementList& elements = read->elements;
  read->periods.Reserve(elements.Count());
  try {
    for (std::size_t i = 0; i < elements.Count(); ++i) read->periods.Add(elements[i], i);
  } catch (...) {
    read->fault = std::current_exception();
  }
  return read;
}

}  // namespace

void ReadDutyPeriodsBeside(ConversionContext& ctx) {
  ctx.duty_periods = std::async([&document = ctx.document] { return ReadDutyPeriods(document); });
}

void ImportOccupationTimetables(ConversionContext& ctx, TemplatesTaken templates) {
  // Read beside the group stage, or now.
  const std::shared_ptr<DutyPeriods> read =
      ctx.duty_periods.valid() ? ctx.duty_periods.get() : ReadDutyPeriods(ctx.document);
  const itaca::ElementList& elements = read->elements;
  if (elements.Empty()) return;  // ASIGT keeps the SESIONES of the earlier stages

  // The periods are read before any table is touched: a missing attribute ends the run with the
  // tables unchanged.
  if (read->fault) std::rethrow_exception(read->fault);
  const DutyPeriodList& periods = read->periods;

  auto subjects = ctx.tables.Open(store::AsignomtTable().name, store::OpenMode::Exclusive);
  auto asig = ctx.tables.Open(store::AsigtTable().name, store::OpenMode::Exclusive);
  auto teachers = ctx.tables.Open(store::ProftTable().name, store::OpenMode::Exclusive);

  // Each duty's and teacher's row found once: ASIGNOMT and PROFT do not change here.
  store::FoundField duty_codes(subjects, "ABREV_ITACA", "COD");
  store::FoundField teacher_codes(teachers, "DNI", "ABREV");
  const store::AsigtFields fields(asig);
  for (std::size_t i = 0; i < periods.Count(); ++i) {
    const DutyPeriod period = periods[i];
    if (templates == TemplatesTaken::OnlySelected &&
        period.templ != ctx.state.SelectedTemplateCode) {
      ctx.report.Add(report::Reason::OtherTemplate, Where(elements[period.element]))
          .Code("plantilla", period.templ);
      continue;
    }

    // Unknown duties and teachers are still counted, with an empty code.
    const std::optional<std::string>& duty = duty_codes.Of(period.duty);
    const std::string duty_code = duty.value_or("");
    const std::optional<std::string>& teacher = teacher_codes.Of(period.teacher);
    const std::string teacher_code = teacher.value_or("");
    if (!duty) {
      ctx.report.Add(report::Reason::DutyNotFound, Where(elements[period.element]))
          .Code("ocupacion", period.duty)
          .Code("docente", period.teacher)
          .Code("plantilla", period.templ);
    }
    if (!teacher && !period.teacher.empty()) {
      ctx.report.Add(report::Reason::TeacherNotFound, Where(elements[period.element]))
          .Code("ocupacion", period.duty)
          .Code("docente", period.teacher)
          .Code("plantilla", period.templ);
    }

    if (asig.Locate("CPROF;ASIG_ITACA", {teacher_code, period.duty})) {
      asig.Edit();
      asig.SetFloat(fields.hours, asig.GetFloat(fields.hours) + 1);
      asig.Post();
    } else {
      asig.Append();
      asig.SetText(fields.subject, duty_code);
      asig.SetText(fields.teacher, teacher_code);
      asig.SetFloat(fields.hours, 1);
      asig.SetText(fields.sessions, "1");
      asig.SetText(fields.task, duty_code);
      asig.SetText(fields.content, period.duty);
      asig.Post();
    }
  }

  // Every row, class rows included, gets at least one hour and the pattern of its hours.
  for (asig.First(); !asig.Eof(); asig.Next()) {
    double hours = asig.GetFloat(fields.hours);
    asig.Edit();
    if (!(hours >= 1)) {
      hours = 1;
      asig.SetFloat(fields.hours, hours);
    }
    const long long blocks = static_cast<long long>(std::ceil(std::fmin(hours, 1e15)));
    asig.SetText(fields.sessions, SessionPattern(blocks));
    asig.Post();
  }

  subjects.Close();
  asig.Close();
  teachers.Close();
}

}  // namespace tc
