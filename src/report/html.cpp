// The report as one HTML page that needs nothing else (no script, no font, no picture from
// outside): the three headings, then the timetable as week grids, one per printed page.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/codepage.h"
#include "base/key_counts.h"
#include "base/text_hash.h"
#include "output.h"
#include "report/render.h"
#include "report/report.h"
#include "report/timetable.h"
#include "wording.h"

namespace tc::report {

namespace {

// The page's markup appended with its length known: a school's page is millions of such pieces.
using namespace std::string_view_literals;

// The page's maps keyed by codes.
template <typename Value>
using CodeMap = std::unordered_map<std::string_view, Value, TextHasher>;

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;font-size:11pt;margin:1.5em;color:#222}"
    "h1{font-size:16pt}h2{font-size:14pt;margin-top:1.2em}h3{font-size:12pt}"
    "ul.nivel li{margin:.2em 0}p.nada{color:#666}"
    "table.horario{border-collapse:collapse;width:100%;table-layout:fixed}"
    "table.horario th,table.horario td{border:1px solid #888;padding:3px;vertical-align:top;"
    "font-size:9pt}"
    "table.horario thead th{background:#e8eef6}table.horario tbody th{background:#f3f3f3;"
    "width:7em;text-align:left}"
    "td p{margin:0 0 2px 0}"
    "td p.choque{background:#fbd5d5;outline:2px solid #c00}"
    "td p.fuera,div.sin-colocar p.fuera{background:#e4e4e4;color:#555;text-decoration:line-through}"
    "p.marcas span{padding:0 .4em;margin-right:1em}"
    "span.choque{background:#fbd5d5;outline:2px solid #c00}"
    "span.fuera{background:#e4e4e4;text-decoration:line-through}"
    "table.cargas{border-collapse:collapse;margin-bottom:1em}"
    "table.cargas td,table.cargas th{border:1px solid #aaa;padding:2px 6px;font-size:9pt}"
    "div.sin-colocar{margin-top:.5em}div.sin-colocar p{display:inline-block;margin:0 .5em .3em 0;"
    "padding:3px;border:1px solid #888;font-size:9pt;vertical-align:top}"
    "section.rejilla{break-after:page;page-break-after:always;margin-bottom:2em}"
    "@media print{body{margin:0}section.niveles{break-after:page;page-break-after:always}}";

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;"sv;
        break;
      case '<':
        out += "&lt;"sv;
        break;
      case '>':
        out += "&gt;"sv;
        break;
      case '"':
        out += "&quot;"sv;
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Windows-1252 text, escaped, appended as UTF-8.
void AppendHtml(std::string& out, std::string_view text) { AppendCp1252AsUtf8(out, Escaped(text)); }

// An identifier made of the code's letters and digits, for anchors.
std::string Anchor(std::string_view kind, std::string_view code) {
  std::string out(kind);
  out += '-';
  for (char c : code) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    out += plain ? c : '_';
  }
  return out;
}

enum class Axis { Group, Teacher, Room };

// The page being written, in UTF-8, and the names it shows, each escaped and converted once:
// a school's grids name the same few thousand codes in hundreds of thousands of cells.
class Page {
 public:
  Page(const Report& report, std::string& out) : out(out), report_(report) {}

  const Report& report() const { return report_; }
  std::string& out;

  // The name alone ("Matemàtiques"), or the code when no name is known.
  const std::string& Name(NameKind kind, std::string_view code) {
    auto [at, added] = names_[static_cast<std::size_t>(kind)].try_emplace(code);
    if (added) {
      const std::string_view name = report_.NameOf(kind, code);
      AppendHtml(at->second, name.empty() ? code : name);
    }
    return at->second;
  }
  // The name with its code ("Matemàtiques (MAT)").
  const std::string& Named(NameKind kind, std::string_view code) {
    auto [at, added] = named_[static_cast<std::size_t>(kind)].try_emplace(code);
    if (added) AppendHtml(at->second, report::Named(report_, kind, code));
    return at->second;
  }
  // A room's code as a cell shows it.
  const std::string& Room(std::string_view code) {
    auto [at, added] = rooms_.try_emplace(code);
    if (added) AppendHtml(at->second, code);
    return at->second;
  }

 private:
  const Report& report_;
  // Keyed by views of the timetables' codes, which outlive the page.
  std::array<CodeMap<std::string>, kNameKindCount> names_, named_;
  CodeMap<std::string> rooms_;
};

// The template's periods, or when none are known the periods the lessons of a day name, in order.
std::vector<Period> PeriodsOf(const Timetables& timetables, const Lessons& lessons) {
  if (!timetables.periods.empty()) return timetables.periods;
  std::set<std::pair<std::size_t, std::string>> seen;
  for (const LessonView lesson : lessons) {
    if (lesson.day >= 1 && lesson.day <= 7) {
      seen.insert({lesson.period.size(), std::string(lesson.period)});
    }
  }
  std::vector<Period> periods;
  for (const auto& [size, order] : seen) periods.push_back({order, "", ""});
  return periods;
}

int LastDay(const Lessons& lessons) {
  int last = 5;
  for (const LessonView lesson : lessons) last = std::max(last, std::min(lesson.day, 7));
  return last;
}

// What a cell shows of one lesson, made once per lesson for the three grids it is drawn in.
struct Drawn {
  const std::string* subject = nullptr;
  const std::string* group = nullptr;    // null for a duty period
  const std::string* teacher = nullptr;  // null when it has none
  const std::string* room = nullptr;     // null when it has none, or for a duty period
  bool clashing = false;
  // The lesson's own marks, kept beside the rest: a grid reads its cells out of the timetable's
  // order, and a lesson read there again for them is a miss of the cache for every cell.
  bool left_out = false;
  bool duty = false;
  int cell = -1;  // its place in a week grid (period row by day), -1 when it has none
  const std::string* unplaced = nullptr;  // when it has none, where Clepsa put it (Unplaced)
};

// Clashes by code, day and period, numbered: a lesson is marked when its teacher, or its room,
// is in two places in its slot.
class ClashSlots {
 public:
  static constexpr std::uint32_t kNone = ~std::uint32_t{0};

  void Add(std::string_view code, int day, std::string_view period) {
    slots_.Add({Number(code), static_cast<std::uint32_t>(day), Number(period)});
  }
  // The number of a code or period, kNone when no clash has it: looked up once for every code
  // and period, not for every lesson.
  std::uint32_t NumberOf(std::string_view text) const {
    const auto found = numbers_.find(text);
    return found == numbers_.end() ? kNone : found->second;
  }
  bool Contains(std::uint32_t code, int day, std::uint32_t period) const {
    return code != kNone && period != kNone &&
           slots_.Contains({code, static_cast<std::uint32_t>(day), period});
  }

 private:
  std::uint32_t Number(std::string_view text) {
    return numbers_.try_emplace(text, static_cast<std::uint32_t>(numbers_.size())).first->second;
  }
  CodeMap<std::uint32_t> numbers_;
  KeyCounts<3> slots_;  // code, day, period
};

// One cell's lesson: what the grid's own axis does not say. Plain markup: a school's grids are
// tens of thousands of cells.
void Cell(std::string& out, const Drawn& drawn, Axis axis, std::string_view where = {}) {
  out += drawn.left_out
             ? (drawn.clashing ? "<p class=\"fuera choque\" title=\"No se escribe\"><b>"sv
                               : "<p class=\"fuera\" title=\"No se escribe\"><b>"sv)
             : (drawn.clashing ? "<p class=\"choque\"><b>"sv : "<p><b>"sv);
  out += *drawn.subject;
  out += "</b>"sv;
  if (axis != Axis::Group && drawn.group) {
    out += "<br>"sv;
    out += *drawn.group;
  }
  if (axis != Axis::Teacher) {
    out += "<br>"sv;
    out += drawn.teacher ? *drawn.teacher : std::string_view("<i>sin docente</i>");
  }
  if (axis != Axis::Room && !drawn.duty) {
    out += "<br>"sv;
    out += drawn.room ? *drawn.room : std::string_view("<i>sin aula</i>");
  }
  if (!where.empty()) {
    out += "<br>"sv;
    out += where;
  }
  out += "</p>"sv;
}

// Where Clepsa put a lesson that no cell of the grid holds: "lunes, hora 9", "sin d\xEDa ni
// hora". UTF-8, escaped.
std::string Unplaced(const LessonView& lesson) {
  const bool day = lesson.day >= 1 && lesson.day <= 7;
  const bool hour = !lesson.period.empty() && lesson.period != "0";
  std::string text = !day && !hour ? std::string("sin d\xED"
                                                 "a ni hora")
                     : day         ? std::string(DayName(lesson.day))
                                   : std::string("sin d\xED"
                                                         "a");
  if (hour) text += ", hora " + std::string(lesson.period);
  std::string out;
  AppendHtml(out, text);
  return out;
}

// The week's grids, all of one shape: the same head, one row per period, one cell per day.
class Grids {
 public:
  Grids(const std::vector<Period>& periods, int last_day) : days_(last_day) {
    std::string head = "<table class=\"horario\"><thead><tr><th>Sesi\xF3n</th>";
    for (int day = 1; day <= last_day; ++day) {
      std::string name(DayName(day));
      name[0] =
          static_cast<char>(name[0] - 'a' + 'A');  // every day's name starts with a plain letter
      head += "<th>" + name + "</th>";
    }
    head += "</tr></thead><tbody>";
    AppendCp1252AsUtf8(head_, head);
    // A period named twice draws the same cells twice. The views point into `periods`, which
    // outlives the grids.
    for (const Period& period : periods) {
      const int row = static_cast<int>(rows_.size());
      rows_.push_back(rows_by_order_.try_emplace(period.order, row).first->second);
      std::string text = "<tr><th>" + Escaped(period.order);
      if (!period.from.empty()) text += "<br>" + Escaped(period.from) + "-" + Escaped(period.to);
      text += "</th>";
      row_heads_.emplace_back();
      AppendCp1252AsUtf8(row_heads_.back(), text);
    }
  }

  // The row of a period, -1 when it is none of the grid's.
  int RowOf(std::string_view period) const {
    const auto row = rows_by_order_.find(period);
    return row == rows_by_order_.end() ? -1 : row->second;
  }
  // The cell of a day in a row, -1 when the row or the day is none of the grid's.
  int CellOf(int row, int day) const {
    if (row < 0 || day < 1 || day > days_) return -1;
    return row * days_ + day - 1;
  }

  // One grid of lessons, each in its cell in the order given.
  void Draw(std::string& out, const std::vector<const Drawn*>& lessons, Axis axis) {
    const std::size_t cells = row_heads_.size() * static_cast<std::size_t>(days_);
    starts_.assign(cells + 1, 0);
    for (const Drawn* drawn : lessons) {
      if (drawn->cell >= 0) ++starts_[static_cast<std::size_t>(drawn->cell) + 1];
    }
    for (std::size_t i = 0; i < cells; ++i) starts_[i + 1] += starts_[i];
    placed_.resize(starts_[cells]);
    fill_.assign(starts_.begin(), starts_.end() - 1);
    for (const Drawn* drawn : lessons) {
      if (drawn->cell >= 0) placed_[fill_[static_cast<std::size_t>(drawn->cell)]++] = drawn;
    }
    out += head_;
    for (std::size_t row = 0; row < row_heads_.size(); ++row) {
      out += row_heads_[row];
      for (int day = 0; day < days_; ++day) {
        out += "<td>"sv;
        const std::size_t cell = static_cast<std::size_t>(rows_[row] * days_ + day);
        for (std::size_t i = starts_[cell]; i < starts_[cell + 1]; ++i)
          Cell(out, *placed_[i], axis);
        out += "</td>"sv;
      }
      out += "</tr>"sv;
    }
    out += "</tbody></table>"sv;
    // What no cell holds, listed below the grid.
    bool listed = false;
    for (const Drawn* drawn : lessons) {
      if (drawn->cell >= 0) continue;
      if (!listed) {
        out += "<div class=\"sin-colocar\"><h4>Sin colocar en la rejilla</h4>"sv;
        listed = true;
      }
      Cell(out, *drawn, axis, *drawn->unplaced);
    }
    if (listed) out += "</div>"sv;
  }

 private:
  int days_;
  std::string head_;
  std::vector<std::string> row_heads_;
  std::vector<int> rows_;  // each row's cells: its own, or the first row of the same period
  CodeMap<int> rows_by_order_;
  std::vector<std::size_t> starts_, fill_;
  std::vector<const Drawn*> placed_;
};

std::string_view AxisWord(Axis axis) {
  return axis == Axis::Group ? "grupo" : axis == Axis::Teacher ? "docente" : "aula";
}
NameKind AxisKind(Axis axis) {
  return axis == Axis::Group     ? NameKind::Group
         : axis == Axis::Teacher ? NameKind::Teacher
                                 : NameKind::Room;
}
std::string_view AxisTitle(Axis axis) {
  return axis == Axis::Group ? "Grupo" : axis == Axis::Teacher ? "Docente" : "Aula";
}

// What a row of the hours table shows of one ASIGT row, made once for the group's table and
// the teacher's it is drawn in: names escaped and converted, hours as text.
struct DrawnLoad {
  double hours = 0;  // kept here: the tables read their rows out of ASIGT's order
  const std::string* subject = nullptr;
  const std::string* group = nullptr;
  const std::string* teacher = nullptr;  // null when it has none
  const std::string* room = nullptr;     // null when it has none
  std::string hours_text;
};

// The hours ASIGT asks Clepsa to place for one group or teacher.
void Loads(Page& page, const std::vector<const DrawnLoad*>& loads, Axis axis) {
  double total = 0;
  for (const DrawnLoad* drawn : loads) total += drawn->hours;
  std::string& out = page.out;
  out += "<table class=\"cargas\"><thead><tr><th>Asignatura</th><th>"sv;
  out += axis == Axis::Group ? "Docente"sv : "Grupo"sv;
  out += "</th><th>Aula</th><th>Horas</th></tr></thead><tbody>"sv;
  for (const DrawnLoad* drawn : loads) {
    out += "<tr><td>"sv;
    out += *drawn->subject;
    out += "</td><td>"sv;
    if (axis != Axis::Group) {
      out += *drawn->group;
    } else if (!drawn->teacher) {
      out += "<i>sin profesor</i>"sv;
    } else {
      out += *drawn->teacher;
    }
    out += "</td><td>"sv;
    out += drawn->room ? std::string_view(*drawn->room) : std::string_view("<i>sin aula</i>");
    out += "</td><td>"sv;
    out += drawn->hours_text;
    out += "</td></tr>"sv;
  }
  out += "<tr><th colspan=\"3\">Total</th><th>"sv;
  out += HoursText(total);
  out += "</th></tr></tbody></table>"sv;
}

// The page's first part, small, in the code page: the title, the run, the three headings and
// their lines, the title of the grids.
std::string PageTop(const Report& report, const LevelLines& levels) {
  const bool conversion = report.kind() == Report::Kind::Conversion;
  const std::string title = conversion ? "Informe de la conversi\xF3n ITACA -> Clepsa"
                                       : "Informe de la exportaci\xF3n Clepsa -> ITACA";
  std::string top;
  top += "<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         Escaped(title) + "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
  top += "<h1>" + Escaped(title) + "</h1>\n<p>";
  const Report::Header& header = report.header();
  for (const auto& [label, value] :
       {std::pair<std::string_view, const std::string*>{"Documento", &header.document},
        {"Carpeta de trabajo", &header.folder},
        {"Plantilla horaria", &header.template_code},
        {"Idioma", &header.language},
        {"Curso", &header.school_year},
        {"Documento de salida", &header.output}}) {
    if (!value->empty()) top += std::string(label) + ": " + Escaped(*value) + "<br>\n";
  }
  top += "</p>\n<section class=\"niveles\">\n";
  for (Level level : {Level::Itaca, Level::Clepsa, Level::Information}) {
    const auto& lines = levels[static_cast<std::size_t>(level)];
    top += "<h2 id=\"" + std::string(LevelName(level)) + "\">" + std::string(LevelTitle(level)) +
           "</h2>\n";
    if (lines.empty()) {
      top += "<p class=\"nada\">Nada.</p>\n";
      continue;
    }
    top += "<ul class=\"nivel\">\n";
    for (const std::string& line : lines) top += "<li>" + Escaped(line) + "</li>\n";
    top += "</ul>\n";
  }
  top += "<p>Los detalles (d\xF3nde est\xE1 cada elemento o registro) est\xE1n en el informe de "
         "texto.</p>\n</section>\n";
  top +=
      conversion
          ? "<h2>Lo que Clepsa tiene que colocar, junto al horario de ITACA en la plantilla</h2>\n"
          : "<h2>Horario escrito</h2>\n<p class=\"marcas\"><span class=\"choque\">En dos sitios "
            "a la vez</span><span class=\"fuera\">Colocado por Clepsa pero no escrito</span></p>\n";
  return top;
}

}  // namespace

std::string RenderHtml(const Report& report) { return RenderHtml(report, RenderLevels(report)); }

std::string RenderHtml(const Report& report, const LevelLines& levels, const PieceSink* pieces) {
  return RenderHtml(report, LevelsGiven(levels), pieces);
}

std::string RenderHtml(const Report& report, const LevelsWhenAsked& levels,
                       const PieceSink* pieces) {
  const Timetables& timetables = report.timetables();
  const bool conversion = report.kind() == Report::Kind::Conversion;
  // The timetable drawn: what was written (export) or ITACA's own of the template (conversion).
  const Lessons& lessons = conversion ? timetables.itaca : timetables.written;
  // Room for about twice what a page of this many lessons takes (each drawn in three grids):
  // room never written to is never touched, while too little copies the whole page once more.
  Output output(pieces, 2 * 4096 + lessons.size() * 3 * 192 + timetables.asked.size() * 192);
  std::string& out = output.text;
  Page page(report, out);

  ClashSlots teacher_clashes, room_clashes;
  if (!conversion && timetables.verified) {
    for (const Clash& clash : timetables.verification.clashes) {
      if (clash.kind == Clash::Kind::Group) continue;
      (clash.kind == Clash::Kind::Teacher ? teacher_clashes : room_clashes)
          .Add(clash.code, clash.day, clash.period);
    }
  }
  const std::vector<Period> periods = PeriodsOf(timetables, lessons);
  Grids grids(periods, LastDay(lessons));
  std::vector<Drawn> drawn(lessons.size());
  // Where Clepsa put those no cell holds, once for each day and period (a map's texts never move).
  std::map<std::pair<int, std::string_view>, std::string> unplaced;
  // Every group, teacher and room with lessons: its name as a cell shows it, its number among the
  // clashes of its kind (teachers' or rooms'), and its lessons in the timetable's order.
  struct Drawing {
    const std::string* name = nullptr;
    std::uint32_t clashes = ClashSlots::kNone;
    std::vector<const Drawn*> lessons;
  };
  std::array<CodeMap<Drawing>, 3> by_axis;
  // The lesson added to the drawing of `code` on `axis`; the drawing.
  auto draw_on = [&](Axis axis, std::string_view code, const Drawn& d) -> const Drawing& {
    Drawing& drawing = by_axis[static_cast<std::size_t>(axis)][code];
    if (!drawing.name) {
      drawing.name = axis == Axis::Room ? &page.Room(code) : &page.Name(AxisKind(axis), code);
      drawing.clashes = (axis == Axis::Room ? room_clashes : teacher_clashes).NumberOf(code);
    }
    drawing.lessons.push_back(&d);
    return drawing;
  };
  // Every period named: its row in the grids, its numbers among the clashes.
  struct PeriodSeen {
    int row = -1;
    std::uint32_t teacher_clashes = ClashSlots::kNone, room_clashes = ClashSlots::kNone;
  };
  CodeMap<PeriodSeen> periods_seen;
  for (std::size_t i = 0; i < lessons.size(); ++i) {
    const LessonView lesson = lessons[i];
    Drawn& d = drawn[i];
    d.left_out = lesson.left_out;
    d.duty = lesson.duty;
    d.subject = &page.Name(NameKind::Subject, lesson.subject);
    auto [seen, added] = periods_seen.try_emplace(lesson.period);
    PeriodSeen& period = seen->second;
    if (added) {
      period = {grids.RowOf(lesson.period), teacher_clashes.NumberOf(lesson.period),
                room_clashes.NumberOf(lesson.period)};
    }
    if (!lesson.duty) d.group = draw_on(Axis::Group, lesson.group, d).name;
    // A lesson without a teacher or room is looked up by its empty code, as any other.
    std::uint32_t teacher = ClashSlots::kNone, room = ClashSlots::kNone;
    if (!lesson.teacher.empty()) {
      const Drawing& drawing = draw_on(Axis::Teacher, lesson.teacher, d);
      d.teacher = drawing.name;
      teacher = drawing.clashes;
    } else {
      teacher = teacher_clashes.NumberOf(lesson.teacher);
    }
    if (!lesson.duty && !lesson.room.empty()) {
      const Drawing& drawing = draw_on(Axis::Room, lesson.room, d);
      d.room = drawing.name;
      room = drawing.clashes;
    } else if (!lesson.duty) {
      room = room_clashes.NumberOf(lesson.room);
    }
    d.clashing = teacher_clashes.Contains(teacher, lesson.day, period.teacher_clashes) ||
                 (!lesson.duty && room_clashes.Contains(room, lesson.day, period.room_clashes));
    d.cell = grids.CellOf(period.row, lesson.day);
    if (d.cell < 0) {
      auto [where, added] = unplaced.try_emplace({lesson.day, lesson.period});
      if (added) where->second = Unplaced(lesson);
      d.unplaced = &where->second;
    }
  }
  std::vector<DrawnLoad> drawn_loads;
  if (conversion) drawn_loads.reserve(timetables.asked.size());
  // The rows of every group and teacher, with the name and code they show.
  struct Rows {
    const std::string* named = nullptr;
    std::vector<const DrawnLoad*> loads;
  };
  CodeMap<Rows> loads_by_group, loads_by_teacher;
  // The row added to those of `code`; the name it shows there.
  auto add_row = [&](CodeMap<Rows>& by, NameKind kind, std::string_view code, const DrawnLoad& d) {
    Rows& rows = by[code];
    if (!rows.named) rows.named = &page.Named(kind, code);
    rows.loads.push_back(&d);
    return rows.named;
  };
  for (const Load& load : timetables.asked) {
    if (load.duty || !conversion) continue;  // only a conversion's grids show hours
    DrawnLoad& d = drawn_loads.emplace_back();
    d.hours = load.hours;
    d.subject = &page.Named(NameKind::Subject, load.subject);
    d.group = add_row(loads_by_group, NameKind::Group, load.group, d);
    const std::string* teacher = add_row(loads_by_teacher, NameKind::Teacher, load.teacher, d);
    if (!load.teacher.empty()) d.teacher = teacher;
    if (!load.room.empty()) d.room = &page.Room(load.room);
    d.hours_text = HoursText(load.hours);
  }

  // The grids worked out, the first lines are asked for: the page starts with them.
  AppendCp1252AsUtf8(out, PageTop(report, levels()));

  // Every grid to draw, in the page's order: for each axis every code with lessons, and for a
  // conversion every one with hours to place, in order.
  static const std::vector<const Drawn*> kNone;
  struct Section {
    Axis axis;
    std::string_view code;
    const std::vector<const Drawn*>* lessons;
    const std::vector<const DrawnLoad*>* loads;  // null: none to place (a conversion's grids)
  };
  std::vector<Section> sections;
  for (Axis axis : {Axis::Group, Axis::Teacher, Axis::Room}) {
    if (conversion && axis == Axis::Room) break;
    const auto& of_axis = by_axis[static_cast<std::size_t>(axis)];
    std::vector<std::string_view> codes;
    codes.reserve(of_axis.size());
    for (const auto& [code, drawing] : of_axis) codes.push_back(code);
    const auto& loads = axis == Axis::Group ? loads_by_group : loads_by_teacher;
    if (conversion) {
      for (const auto& [code, rows] : loads) {
        if (!code.empty()) codes.push_back(code);
      }
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    for (const std::string_view code : codes) {
      const auto drawing = of_axis.find(code);
      const auto rows = loads.find(code);
      sections.push_back({axis, code, drawing == of_axis.end() ? &kNone : &drawing->second.lessons,
                          conversion && rows != loads.end() ? &rows->second.loads : nullptr});
    }
  }
  // The grids from `first` to `last`, drawn on `page` (whose names of codes it shows its own);
  // the names the cells show are the drawing's, which no longer change.
  auto draw = [conversion, &sections](Page& page, Grids& grids, std::size_t first, std::size_t last,
                                      const std::function<void()>& pass) {
    std::string& out = page.out;
    for (std::size_t i = first; i < last; ++i) {
      const Section& section = sections[i];
      out += "<section class=\"rejilla\" id=\""sv;
      AppendCp1252AsUtf8(out, Anchor(AxisWord(section.axis), section.code));
      out += "\" data-tipo=\""sv;
      out += AxisWord(section.axis);
      out += "\" data-codigo=\""sv;
      AppendHtml(out, section.code);
      out += "\">\n<h3>"sv;
      out += AxisTitle(section.axis);
      out += ' ';
      out += page.Named(AxisKind(section.axis), section.code);
      out += "</h3>\n"sv;
      if (conversion) {
        if (section.loads) {
          Loads(page, *section.loads, section.axis);
        } else {
          out += "<p>Sin horas que colocar.</p>\n"sv;
        }
      }
      grids.Draw(out, *section.lessons, section.axis);
      out += "\n</section>\n"sv;
      pass();
    }
  };
  // A large page's later grids are drawn beside the earlier ones, on a page of their own, in
  // pieces handed on after them: the page is the longest of the report's files to render.
  std::size_t split = sections.size();
  std::future<std::vector<std::string>> later;
  constexpr std::size_t kBesideFrom = 4096;  // lessons drawn
  if (lessons.size() + timetables.asked.size() >= kBesideFrom) {
    std::size_t weight = 0, total = 0;
    for (const Section& section : sections) total += section.lessons->size() + 8;
    for (split = 0; split < sections.size() && 2 * weight < total; ++split) {
      weight += sections[split].lessons->size() + 8;
    }
    later = std::async([&, split, own_grids = grids]() mutable {
      std::vector<std::string> pieces;
      std::string text;
      text.reserve(2 * Output::kPiece);
      Page own(report, text);
      draw(own, own_grids, split, sections.size(), [&] {
        if (text.size() < Output::kPiece) return;
        pieces.push_back(std::move(text));
        text = std::string();
        text.reserve(2 * Output::kPiece);
      });
      if (!text.empty()) pieces.push_back(std::move(text));
      return pieces;
    });
  }
  draw(page, grids, 0, split, [&output] { output.Pass(); });
  if (later.valid()) output.Add(later.get());
  out += "</body>\n</html>\n"sv;
  return output.Finish();
}

}  // namespace tc::report
