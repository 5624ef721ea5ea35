#include "report/render.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "base/codepage.h"
#include "output.h"

namespace tc::report {

namespace {

constexpr int kJsonVersion = 1;

std::string Padded(std::string_view text, std::size_t width) {
  std::string padded(text);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

std::string RightAligned(std::size_t number, std::size_t width) {
  std::string text = std::to_string(number);
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

void AppendNumber(std::string& out, std::size_t number) {
  char digits[24];
  const auto [end, ignored] = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, static_cast<std::size_t>(end - digits));
}
void AppendNumber(std::string& out, int number) {
  char digits[16];
  const auto [end, ignored] = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// The bytes of `set` marked in a table of all 256.
constexpr std::array<bool, 256> ByteTable(std::string_view set) {
  std::array<bool, 256> table{};
  for (char c : set) table[static_cast<unsigned char>(c)] = true;
  return table;
}

// The bytes that make a value of the text quoted.
constexpr std::array<bool, 256> kQuoted = ByteTable(" \",;=\\\t\r\n");

// A value as the text shows it, appended: bare when it reads unambiguously, else in double
// quotes with inner quotes and backslashes escaped.
void AppendShown(std::string& out, std::string_view value) {
  const bool bare = !value.empty() && std::none_of(value.begin(), value.end(), [](char c) {
    return kQuoted[static_cast<unsigned char>(c)];
  });
  if (bare) {
    out += value;
    return;
  }
  out += '"';
  std::size_t run = 0;  // the bytes since the last one escaped, copied whole
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '"' && value[i] != '\\') continue;
    out.append(value, run, i - run);
    out += '\\';
    run = i;
  }
  out.append(value, run);
  out += '"';
}

void AppendLocation(std::string& out, const Location& where) {
  switch (where.kind) {
    case Location::Kind::Element:
      out += where.source;
      out += '[';
      AppendNumber(out, std::size_t{where.position});
      out += ']';
      if (where.line > 0) {
        out += ", l\xEDnea ";
        AppendNumber(out, std::size_t{where.line});
      }
      return;
    case Location::Kind::Record:
      out += where.source;
      out += " registro ";
      AppendNumber(out, std::size_t{where.position});
      return;
    case Location::Kind::None:
      break;
  }
  out += '-';
}

// What a line says after the place: ": ", the code before and after a renaming, then the codes;
// nothing when the entry has neither.
void AppendDetails(std::string& out, const Entry& entry) {
  if (!entry.Renamed() && entry.CodeCount() == 0) return;
  out += ": ";
  if (entry.Renamed()) {
    AppendShown(out, entry.OldCode());
    out += " -> ";
    AppendShown(out, entry.NewCode());
  }
  for (std::size_t i = 0; i < entry.CodeCount(); ++i) {
    const Code code = entry.CodeAt(i);
    if (i > 0) {
      out += ' ';
    } else if (entry.Renamed()) {
      out += "; ";
    }
    out += code.name;
    out += '=';
    AppendShown(out, code.value);
  }
}

void AppendEntryText(std::string& out, const Entry& entry) {
  AppendLocation(out, entry.location());
  AppendDetails(out, entry);
}

// Two entries of a group that read alike: consecutive elements of one collection with the same
// codes. The text shows such a run as one line.
bool Continues(const Entry& previous, const Entry& next) {
  const Location& a = previous.location();
  const Location& b = next.location();
  if (a.kind != Location::Kind::Element || b.kind != Location::Kind::Element) return false;
  if (a.source != b.source || b.position != a.position + 1) return false;
  if (previous.Renamed() || next.Renamed() || previous.CodeCount() != next.CodeCount()) {
    return false;
  }
  for (std::size_t i = 0; i < previous.CodeCount(); ++i) {
    const Code x = previous.CodeAt(i);
    const Code y = next.CodeAt(i);
    if (x.name != y.name || x.value != y.value) return false;
  }
  return true;
}

// A run of alike entries, first to last: "path[311] a [364] (54), líneas 569 a 622: codes".
void AppendRunText(std::string& out, const Entry& first, const Entry& last, std::size_t count) {
  const Location& from = first.location();
  const Location& to = last.location();
  out += from.source;
  out += '[';
  AppendNumber(out, std::size_t{from.position});
  out += "] a [";
  AppendNumber(out, std::size_t{to.position});
  out += "] (";
  AppendNumber(out, count);
  out += ')';
  if (from.line > 0 && to.line > 0) {
    out += ", l\xEDneas ";
    AppendNumber(out, std::size_t{from.line});
    out += " a ";
    AppendNumber(out, std::size_t{to.line});
  }
  AppendDetails(out, first);
}

void Tallies(std::string& out, std::string_view title, const std::vector<Tally>& tallies) {
  if (tallies.empty()) return;
  std::size_t name_width = 0, count_width = 0;
  for (const Tally& tally : tallies) {
    name_width = std::max(name_width, tally.name.size());
    count_width = std::max(count_width, std::to_string(tally.count).size());
  }
  out += std::string(title) + ":\n";
  for (const Tally& tally : tallies) {
    out += "  " + Padded(tally.name, name_width) + "  " + RightAligned(tally.count, count_width) +
           "\n";
  }
}

void HeaderLine(std::string& out, std::string_view label, const std::string& value) {
  if (!value.empty()) out += std::string(label) + ": " + value + "\n";
}

// ---- JSON ---------------------------------------------------------------------------------------
// Every value is appended to the one buffer of the document: a report of a large school holds
// hundreds of thousands of them.

// The bytes a JSON string holds as they are: printable ASCII but the quote and the backslash.
constexpr std::array<bool, 256> kJsonPlain = [] {
  std::array<bool, 256> table{};
  for (int byte = 0x20; byte < 0x7F; ++byte) table[byte] = byte != '"' && byte != '\\';
  return table;
}();

// One byte that is not plain, as JSON writes it in UTF-8.
void AppendJsonEscape(std::string& out, char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto byte = static_cast<unsigned char>(c);
  switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (byte >= 0x80) {
        AppendUtf8(out, Cp1252ToCodePoint(byte));
      } else {
        out += "\\u00";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
      }
  }
}

// A Windows-1252 text as a JSON string in UTF-8, appended: each run of plain bytes at once.
void AppendJson(std::string& out, std::string_view cp1252) {
  out += '"';
  const char* at = cp1252.data();
  const char* const end = at + cp1252.size();
  while (true) {
    const char* const plain = at;
    while (at != end && kJsonPlain[static_cast<unsigned char>(*at)]) ++at;
    if (at != plain) out.append(plain, static_cast<std::size_t>(at - plain));
    if (at == end) break;
    AppendJsonEscape(out, *at++);
  }
  out += '"';
}

std::string Json(std::string_view cp1252) {
  std::string out;
  AppendJson(out, cp1252);
  return out;
}

void AppendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

void JsonTallies(std::string& out, std::string_view key, std::string_view name_key,
                 std::string_view count_key, const std::vector<Tally>& tallies) {
  out += "  \"" + std::string(key) + "\": [";
  for (std::size_t i = 0; i < tallies.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"" + std::string(name_key) + "\": " + Json(tallies[i].name) + ", \"" +
           std::string(count_key) + "\": " + std::to_string(tallies[i].count) + "}";
  }
  out += tallies.empty() ? "],\n" : "\n  ],\n";
}

// The entries as JSON, appended one by one. What repeats from an entry to the next (they come
// grouped by reason) is escaped once and kept: the start up to the first number (reason and
// collection or table) and each code's name with its colon.
class JsonEntries {
 public:
  explicit JsonEntries(std::string& out) : out_(out) {}

  void Append(const Entry& entry) {
    const Location& where = entry.location();
    if (head_.empty() || entry.reason() != reason_ || where.kind != kind_ ||
        !Same(where.source, source_)) {
      reason_ = entry.reason();
      kind_ = where.kind;
      source_ = where.source;
      head_ = "{\"motivo\": ";
      AppendJson(head_, ReasonName(reason_));
      if (kind_ != Location::Kind::None) {
        head_ += kind_ == Location::Kind::Element ? ", \"coleccion\": " : ", \"tabla\": ";
        AppendJson(head_, source_);
        head_ += kind_ == Location::Kind::Element ? ", \"posicion\": " : ", \"registro\": ";
      }
    }
    out_ += head_;
    if (kind_ != Location::Kind::None) AppendNumber(out_, std::size_t{where.position});
    if (kind_ == Location::Kind::Element) {
      out_ += ", \"linea\": ";
      AppendNumber(out_, std::size_t{where.line});
    }
    if (entry.Renamed()) {
      out_ += ", \"anterior\": ";
      AppendJson(out_, entry.OldCode());
      out_ += ", \"nuevo\": ";
      AppendJson(out_, entry.NewCode());
    }
    out_ += ", \"codigos\": {";
    for (std::size_t i = 0; i < entry.CodeCount(); ++i) {
      const Code code = entry.CodeAt(i);
      if (i > 0) out_ += ", ";
      out_ += NameKey(i, code.name);
      AppendJson(out_, code.value);
    }
    out_ += "}}";
  }

 private:
  // Whether two views are of the very same bytes (the report's own texts are kept once): then
  // they are equal without reading them; texts that are not are only escaped again.
  static bool Same(std::string_view a, std::string_view b) {
    return a.data() == b.data() && a.size() == b.size();
  }

  // "name": for the code at `index`, kept for the next entry's code there.
  const std::string& NameKey(std::size_t index, std::string_view name) {
    if (index >= names_.size()) names_.resize(index + 1);
    auto& [kept, key] = names_[index];
    if (!Same(name, kept) || key.empty()) {
      kept = name;
      key.clear();
      AppendJson(key, name);
      key += ": ";
    }
    return key;
  }

  std::string& out_;
  Reason reason_{};
  Location::Kind kind_ = Location::Kind::None;
  std::string_view source_;
  std::string head_;  // empty until the first entry
  std::vector<std::pair<std::string_view, std::string>> names_;
};

std::string JsonStrings(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) out += (i > 0 ? ", " : "") + Json(texts[i]);
  return out + "]";
}

// Hours as JSON writes them: a whole number without decimals.
void AppendJsonNumber(std::string& out, double value) {
  if (value == static_cast<double>(static_cast<long long>(value))) {
    char digits[24];
    const auto [end, ignored] =
        std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value));
    out.append(digits, static_cast<std::size_t>(end - digits));
  } else {
    out += std::to_string(value);
  }
}

std::string JsonNumber(double value) {
  std::string out;
  AppendJsonNumber(out, value);
  return out;
}

void JsonLesson(std::string& out, const LessonView& lesson) {
  out += "{\"dia\": ";
  AppendNumber(out, lesson.day);
  out += ", \"sesion_orden\": ";
  AppendJson(out, lesson.period);
  out += ", \"grupo\": ";
  AppendJson(out, lesson.group);
  out += ", \"contenido\": ";
  AppendJson(out, lesson.subject);
  out += ", \"docente\": ";
  AppendJson(out, lesson.teacher);
  out += ", \"aula\": ";
  AppendJson(out, lesson.room);
  out += ", \"ocupacion\": ";
  AppendBool(out, lesson.duty);
  out += '}';
}

// A list of `items` (a vector, or Lessons), each rendered by `render`.
template <typename Items, typename Render>
void JsonList(Output& output, std::string_view key, const Items& items, Render render,
              bool last = false) {
  std::string& out = output.text;
  out += "    ";
  AppendJson(out, key);
  out += ": [";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += i == 0 ? "\n      " : ",\n      ";
    render(out, items[i]);
    output.Pass();
  }
  out += items.empty() ? "]" : "\n    ]";
  out += last ? "\n" : ",\n";
}

// The keys added after the entries: the first lines by level, the incomplete ASIGT rows and
// the export's verification.
void JsonLevels(Output& output, const Report& report, const LevelLines& levels) {
  std::string& out = output.text;
  out += "  \"niveles\": {";
  for (Level level : {Level::Itaca, Level::Clepsa, Level::Information}) {
    out += level == Level::Itaca ? "" : ", ";
    out += Json(LevelName(level)) + ": " + JsonStrings(levels[static_cast<std::size_t>(level)]);
  }
  out += "},\n";

  const Timetables& timetables = report.timetables();
  out += "  \"filas_incompletas\": [";
  bool first = true;
  for (const Load& load : timetables.asked) {
    if (load.duty) continue;
    if (!load.teacher.empty() && !load.room.empty() && !timetables.provisional_hours) continue;
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += "{\"grupo\": " + Json(load.group) + ", \"contenido\": " + Json(load.subject) +
           ", \"horas\": " + JsonNumber(load.hours) +
           ", \"sin_profesor\": " + (load.teacher.empty() ? "true" : "false") +
           ", \"sin_aula\": " + (load.room.empty() ? "true" : "false") +
           ", \"horas_provisionales\": " + (timetables.provisional_hours ? "true" : "false") + "}";
    output.Pass();
  }
  out += first ? "],\n" : "\n  ],\n";

  if (!timetables.verified) {
    out += "  \"verificacion\": null\n";
    return;
  }
  const Verification& verification = timetables.verification;
  auto difference = [](std::string& text, const HoursDifference& d) {
    text += "{\"grupo\": ";
    AppendJson(text, d.group);
    text += ", \"contenido\": ";
    AppendJson(text, d.subject);
    text += ", \"docente\": ";
    AppendJson(text, d.teacher);
    text += ", \"ocupacion\": ";
    AppendBool(text, d.duty);
    text += ", \"esperadas\": ";
    AppendJsonNumber(text, d.expected);
    text += ", \"obtenidas\": ";
    AppendJsonNumber(text, d.actual);
    text += '}';
  };
  auto clash = [&timetables](std::string& text, const Clash& c) {
    text += "{\"tipo\": ";
    text += c.kind == Clash::Kind::Teacher ? "\"docente\""
            : c.kind == Clash::Kind::Room  ? "\"aula\""
                                           : "\"grupo\"";
    text += ", \"codigo\": ";
    AppendJson(text, c.code);
    text += ", \"dia\": ";
    AppendNumber(text, c.day);
    text += ", \"sesion_orden\": ";
    AppendJson(text, c.period);
    text += ", \"clases\": [";
    for (std::size_t i = 0; i < c.lessons.size(); ++i) {
      if (i > 0) text += ", ";
      JsonLesson(text, timetables.written[c.lessons[i]]);
    }
    text += "]}";
  };
  out += "  \"verificacion\": {\n";
  JsonList(output, "horas_documento", verification.document, difference);
  JsonList(output, "horas_clepsa", verification.clepsa, difference);
  JsonList(output, "sin_docente", verification.without_teacher, JsonLesson);
  JsonList(output, "sin_aula", verification.without_room, JsonLesson);
  JsonList(output, "choques", verification.clashes, clash, true);
  out += "  }\n";
}

}  // namespace

std::string RenderEntry(const Entry& entry) {
  std::string text;
  AppendEntryText(text, entry);
  return text;
}

std::string RenderSummary(const Report& report) {
  if (report.Empty()) return "Avisos: ninguno\n";
  std::string out = "Avisos: " + std::to_string(report.Size()) + " (";
  bool first = true;
  for (Effect effect : {Effect::Renamed, Effect::Skipped, Effect::Incomplete, Effect::Deleted}) {
    if (const std::size_t count = report.Count(effect); count > 0) {
      if (!first) out += ", ";
      out += std::string(EffectText(effect)) + " " + std::to_string(count);
      first = false;
    }
  }
  out += ")\n";
  const std::vector<Reason> reasons = report.Reasons();
  std::size_t name_width = 0;
  for (Reason reason : reasons) name_width = std::max(name_width, ReasonName(reason).size());
  const std::size_t count_width = std::max<std::size_t>(std::to_string(report.Size()).size(), 5);
  for (Reason reason : reasons) {
    out += RightAligned(report.Count(reason), count_width) + "  " +
           Padded(ReasonName(reason), name_width) + "  " + std::string(ReasonText(reason)) + "\n";
  }
  return out;
}

std::string RenderText(const Report& report) { return RenderText(report, RenderLevels(report)); }

std::string RenderText(const Report& report, const LevelLines& levels, const PieceSink* pieces) {
  const Report::Header& header = report.header();
  // Room for about twice what the entries' lines take, and for the text's UTF-8, which the
  // report file converts it to in place: never copied as it grows (untouched room costs
  // nothing).
  Output output(pieces, 4096 + report.Size() * 96);
  std::string& out = output.text;
  out += report.kind() == Report::Kind::Conversion
             ? "Informe de la conversi\xF3n ITACA -> Clepsa\n"
             : "Informe de la exportaci\xF3n Clepsa -> ITACA\n";
  HeaderLine(out, "Documento", header.document);
  HeaderLine(out, "Carpeta de trabajo", header.folder);
  out += "Plantilla horaria: " +
         (header.template_code.empty() ? std::string("ninguna") : header.template_code) + "\n";
  HeaderLine(out, "Idioma", header.language);
  HeaderLine(out, "Curso", header.school_year);
  HeaderLine(out, "Documento de salida", header.output);
  out += "\n" + RenderLevelsText(levels) + "\n";
  Tallies(out,
          "Registros le\xED"
          "dos",
          report.read());
  Tallies(out, "Elementos escritos", report.elements());
  Tallies(out, "Filas por tabla", report.tables());
  if (!report.read().empty() || !report.elements().empty() || !report.tables().empty()) {
    out += "\n";
  }
  out += RenderSummary(report);

  const std::vector<std::size_t> order = report.Grouped();
  std::size_t at = 0;
  for (Reason reason : report.Reasons()) {
    out += "\n" + std::string(ReasonText(reason)) + " [" + std::string(ReasonName(reason)) +
           "]: " + std::to_string(report.Count(reason)) + "\n";
    const std::size_t end = at + report.Count(reason);
    while (at < end) {
      const Entry first = report.At(order[at]);
      Entry last = first;
      std::size_t count = 1;
      while (at + count < end) {
        const Entry next = report.At(order[at + count]);
        if (!Continues(last, next)) break;
        last = next;
        ++count;
      }
      out += "  ";
      if (count == 1) {
        AppendEntryText(out, first);
      } else {
        AppendRunText(out, first, last, count);
      }
      out += '\n';
      output.Pass();
      at += count;
    }
  }
  return output.Finish();
}

std::string RenderJson(const Report& report) { return RenderJson(report, RenderLevels(report)); }

std::string RenderJson(const Report& report, const LevelLines& levels, const PieceSink* pieces) {
  return RenderJson(report, LevelsGiven(levels), pieces);
}

std::string RenderJson(const Report& report, const LevelsWhenAsked& levels,
                       const PieceSink* pieces) {
  const Report::Header& header = report.header();
  // Returned whole: room for about twice what a large report's entries, clashes and differences
  // take, so that tens of megabytes are not copied again as it grows (room never written to is
  // never touched: the system gives memory at its first write).
  std::size_t whole = 0;
  if (!pieces) {
    const Verification& verification = report.timetables().verification;
    std::size_t clashing = 0;
    for (const Clash& clash : verification.clashes) clashing += clash.lessons.size();
    whole = 4096 + report.Size() * 320 + clashing * 360 +
            (verification.document.size() + verification.clepsa.size()) * 260;
  }
  Output output(pieces, whole);
  std::string& out = output.text;
  out += "{\n";
  out += "  \"version\": " + std::to_string(kJsonVersion) + ",\n";
  out += std::string("  \"tipo\": ") +
         (report.kind() == Report::Kind::Conversion ? "\"conversion\"" : "\"exportacion\"") + ",\n";
  out += "  \"documento\": " + Json(header.document) + ",\n";
  out += "  \"carpeta\": " + Json(header.folder) + ",\n";
  out += "  \"plantilla\": " + Json(header.template_code) + ",\n";
  out += "  \"idioma\": " + Json(header.language) + ",\n";
  out += "  \"curso\": " + Json(header.school_year) + ",\n";
  out += "  \"salida\": " + Json(header.output) + ",\n";
  JsonTallies(out, "leidos", "tabla", "registros", report.read());
  JsonTallies(out, "elementos", "elemento", "cantidad", report.elements());
  JsonTallies(out, "tablas", "tabla", "filas", report.tables());
  out += "  \"total\": " + std::to_string(report.Size()) + ",\n";

  out += "  \"efectos\": {";
  bool first = true;
  for (Effect effect : {Effect::Renamed, Effect::Skipped, Effect::Incomplete, Effect::Deleted}) {
    out += first ? "" : ", ";
    out += Json(EffectName(effect)) + ": " + std::to_string(report.Count(effect));
    first = false;
  }
  out += "},\n";

  const std::vector<Reason> reasons = report.Reasons();
  out += "  \"motivos\": [";
  for (std::size_t i = 0; i < reasons.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"motivo\": " + Json(ReasonName(reasons[i])) +
           ", \"efecto\": " + Json(EffectName(ReasonEffect(reasons[i]))) +
           ", \"nivel\": " + Json(LevelName(ReasonLevel(reasons[i]))) +
           ", \"texto\": " + Json(ReasonText(reasons[i])) +
           ", \"cantidad\": " + std::to_string(report.Count(reasons[i])) + "}";
  }
  out += reasons.empty() ? "],\n" : "\n  ],\n";

  out += "  \"entradas\": [";
  const std::vector<std::size_t> order = report.Grouped();
  JsonEntries entries(out);
  for (std::size_t i = 0; i < order.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    entries.Append(report.At(order[i]));
    output.Pass();
  }
  out += order.empty() ? "],\n" : "\n  ],\n";
  JsonLevels(output, report, levels());
  out += "}\n";
  return output.Finish();
}

}  // namespace tc::report
