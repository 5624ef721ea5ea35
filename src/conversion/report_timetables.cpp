// What the report keeps of the timetables besides its entries: ITACA's own timetable of the
// template, the template's periods, and (after a conversion) the ASIGT rows Clepsa will place.
#include <array>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/key_counts.h"
#include "base/text_hash.h"
#include "conversion/context.h"
#include "conversion/conversion.h"
#include "conversion/stages.h"
#include "itaca/document.h"
#include "report/report.h"
#include "report/timetable.h"
#include "store/asigt_fields.h"
#include "store/schemas.h"
#include "store/staged_tables.h"
#include "store/table.h"

namespace tc {

namespace {

// The attributes a lesson of the report's timetable takes, read in one walk; absent ones empty.
constexpr std::array<std::string_view, 6> kLessonAttrs = {"dia_semana", "sesion_orden", "docente",
                                                          "grupo",      "contenido",    "aula"};
constexpr std::array<std::string_view, 4> kDutyAttrs = {"dia_semana", "sesion_orden", "docente",
                                                        "ocupacion"};

// The document's lessons of the template after `classes`, the group lessons a stage kept (when
// there are): then only the duty periods are read.
report::Lessons TemplateLessons(const itaca::Document& document, const std::string& template_code,
                                const std::function<report::Lessons(std::size_t more)>& classes) {
  const itaca::ElementList collections[] = {
      classes ? itaca::ElementList() : document.Select(itaca::kGroupTimetables),
      document.Select(itaca::kDutyTimetables)};
  // The template's lessons are found first and the list sized once: it is the largest of the
  // report's, and grown as it is filled it would take half as much again while it is copied.
  // Each lesson's template is compared as the document holds it, not converted.
  std::vector<const itaca::Element*> of_template;
  std::size_t group_lessons = 0;
  constexpr std::string_view kTemplate[] = {"plantilla"};
  std::optional<std::string_view> templ[1];
  for (const itaca::ElementList& elements : collections) {
    for (const itaca::Element& element : elements) {
      element.RawAttrs(kTemplate, templ);
      if (itaca::Element::AttrIs(templ[0].value_or(""), template_code)) {
        of_template.push_back(&element);
      }
    }
    if (&elements == &collections[0]) group_lessons = of_template.size();
  }
  report::Lessons lessons = classes ? classes(of_template.size()) : report::Lessons();
  lessons.reserve(lessons.size() + of_template.size());
  std::array<std::optional<std::string>, kLessonAttrs.size()> values;
  auto value = [&values](std::size_t i) {
    return values[i] ? std::string_view(*values[i]) : std::string_view();
  };
  for (std::size_t i = 0; i < of_template.size(); ++i) {
    const itaca::Element& element = *of_template[i];
    const bool duty = i >= group_lessons;
    const std::span<const std::string_view> names =
        duty ? std::span<const std::string_view>(kDutyAttrs) : kLessonAttrs;
    element.TryAttrs(names, std::span(values).first(names.size()));
    if (duty) {
      lessons.Add(DayOfWeek(value(0)), value(1), "", value(3), value(2), "", true);
    } else {
      lessons.Add(DayOfWeek(value(0)), value(1), value(3), value(4), value(2), value(5), false);
    }
  }
  return lessons;
}

}  // namespace

int DayOfWeek(std::string_view letter) {
  constexpr std::string_view kDayLetters = "LMXJVSD";
  if (letter.size() != 1) return 0;
  const std::size_t at = kDayLetters.find(letter[0]);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

report::Lessons TemplateTimetable(const itaca::Document& document,
                                  const std::string& template_code) {
  return TemplateLessons(document, template_code, {});
}

TemplateHoursCount::TemplateHoursCount() {
  gleanings_.push_back({itaca::kGroupTimetables,
                        {"plantilla", "grupo", "contenido", "docente"},
                        [this](auto values) { Keep(false, values); }});
  gleanings_.push_back({itaca::kDutyTimetables,
                        {"plantilla", "ocupacion", "docente"},
                        [this](auto values) { Keep(true, values); }});
}

void TemplateHoursCount::Keep(bool duty, std::span<const std::optional<std::string_view>> values) {
  // A duty period has no group: its fields are the template, the duty and the teacher. A missing
  // attribute is kept empty.
  Read read{{}, duty};
  for (std::size_t i = 0, field = 0; i < values.size() && field < kFields; ++i, ++field) {
    if (duty && field == 1) ++field;
    const std::string_view value = values[i].value_or("");
    read.sizes[field] = static_cast<std::uint32_t>(value.size());
    read_texts_.append(value);
  }
  read_.push_back(read);
}

report::HoursList TemplateHoursCount::Of(const std::string& template_code) {
  // The template's lessons counted by key, their texts numbered; the other templates' passed
  // over. A document names a template or two: a lesson's template is compared only when its text
  // is not the one before it. A key has a lesson at least, and most have two or more.
  std::array<KeyCounts<3>, 2> counts{KeyCounts<3>(read_.size() / 4),
                                     KeyCounts<3>(read_.size() / 8)};
  std::string_view last;
  bool of_template = false, compared = false;
  std::size_t at = 0;
  const auto next = [this, &at](std::uint32_t size) {
    const std::string_view text = std::string_view(read_texts_).substr(at, size);
    at += size;
    return text;
  };
  for (const Read& read : read_) {
    const std::string_view text = next(read.sizes[0]);
    if (!compared || text != last) {
      last = text;
      of_template = itaca::Element::AttrIs(text, template_code);
      compared = true;
    }
    KeyCounts<3>::Key key;
    for (std::size_t field = 1; field < kFields; ++field) {
      const std::string_view value = next(read.sizes[field]);
      if (of_template) key[field - 1] = numbers_[field - 1].Of(value);
    }
    if (of_template) counts[read.duty ? 1 : 0].Add(key);
  }
  report::HoursList hours;
  hours.Reserve(counts[0].Size() + counts[1].Size());
  // Each field's texts by number, as the list numbers them once converted.
  constexpr std::uint32_t kNotYet = UINT32_MAX;
  std::array<std::vector<std::uint32_t>, 3> codes;
  for (std::size_t field = 0; field < codes.size(); ++field) {
    codes[field].assign(numbers_[field].Size(), kNotYet);
  }
  const auto code = [&](std::size_t field, std::uint32_t number) {
    std::uint32_t& code = codes[field][number];
    if (code == kNotYet) {
      code = hours.Code(itaca::Element::AttrText(numbers_[field].Text(number)));
    }
    return code;
  };
  for (const bool duty : {false, true}) {
    counts[duty ? 1 : 0].ForEach([&](const KeyCounts<3>::Key& key, double lessons) {
      hours.AddNumbered(duty, code(0, key[0]), code(1, key[1]), code(2, key[2]), lessons);
    });
  }
  return hours;
}

std::vector<report::Period> SlotPeriods(store::StagedTables& tables) {
  std::vector<report::Period> periods;
  if (!tables.File(store::DiashorastTable().name)) return periods;
  store::Table slots = tables.Open(store::DiashorastTable().name, store::OpenMode::Shared);
  std::map<long long, report::Period> by_order;
  for (slots.First(); !slots.Eof(); slots.Next()) {
    if (slots.IsBlank("SESION_ORDEN")) continue;
    const long long order = slots.GetInteger("SESION_ORDEN");
    by_order.try_emplace(order, report::Period{std::to_string(order), slots.GetText("HORADESDE"),
                                               slots.GetText("HORAHASTA")});
  }
  slots.Close();
  for (auto& [order, period] : by_order) periods.push_back(std::move(period));
  return periods;
}

std::future<report::Lessons> ReadTemplateTimetable(ConversionContext& ctx) {
  return std::async([&document = ctx.document, code = ctx.state.SelectedTemplateCode,
                     classes = std::exchange(ctx.template_classes, {})] {
    return TemplateLessons(document, code, classes);
  });
}

// After the stages: the ASIGT rows in ITACA's codes (the teacher by DNI, the room by its ITACA
// code), and whether their hours are still the provisional ones.
void GatherConversionTimetables(ConversionContext& ctx, TemplatesTaken templates,
                                report::Lessons itaca) {
  store::StagedTables& tables = ctx.tables;
  report::Timetables& timetables = ctx.report.timetables();
  timetables.itaca = std::move(itaca);
  timetables.periods = SlotPeriods(tables);
  // Without counting (every template taken, or no group timetable) ASIGT keeps 4 hours a row.
  timetables.provisional_hours = templates == TemplatesTaken::All;

  using Codes = std::unordered_map<std::string, std::string, TextHasher, std::equal_to<>>;
  auto codes = [&](const std::string& table, const char* key, const char* value) {
    Codes map;
    store::Table rows = tables.Open(table, store::OpenMode::Shared);
    for (rows.First(); !rows.Eof(); rows.Next())
      map.try_emplace(rows.GetText(key), rows.GetText(value));
    rows.Close();
    return map;
  };
  const Codes dni = codes(store::ProftTable().name, "ABREV", "DNI");
  const Codes room = codes(store::AulatTable().name, "ABREV", "ABREV_ITACA");
  auto itaca_code = [](const Codes& map, std::string_view code) {
    const auto found = code.empty() ? map.end() : map.find(code);
    return found == map.end() ? std::string(code) : found->second;
  };

  // Read as views of each row: the rows are only read.
  store::Table asig = tables.Open(store::AsigtTable().name, store::OpenMode::Shared);
  timetables.asked.reserve(static_cast<std::size_t>(asig.RecordCount()));
  const store::AsigtFields fields(asig);
  for (asig.First(); !asig.Eof(); asig.Next()) {
    report::Load load;
    load.duty = asig.GetTextView(fields.task) != "*479";
    if (!load.duty) load.group = asig.GetTextView(fields.key);
    load.subject = asig.GetTextView(fields.content);
    load.teacher = itaca_code(dni, asig.GetTextView(fields.teacher));
    load.room = itaca_code(room, asig.GetTextView(fields.room));
    load.hours = asig.GetFloat(fields.hours);
    timetables.asked.push_back(std::move(load));
  }
  asig.Close();
}

}  // namespace tc
