// The report as one HTML page that needs nothing else (no script, no font, no picture from
// outside): the three headings, then the timetable as week grids, one per printed page.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/codepage.h"
#include "report/render.h"
#include "report/report.h"
#include "report/timetable.h"
#include "wording.h"

namespace tc::report {

namespace {

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
    "td p.fuera{background:#e4e4e4;color:#555;text-decoration:line-through}"
    "p.marcas span{padding:0 .4em;margin-right:1em}"
    "span.choque{background:#fbd5d5;outline:2px solid #c00}"
    "span.fuera{background:#e4e4e4;text-decoration:line-through}"
    "table.cargas{border-collapse:collapse;margin-bottom:1em}"
    "table.cargas td,table.cargas th{border:1px solid #aaa;padding:2px 6px;font-size:9pt}"
    "section.rejilla{break-after:page;page-break-after:always;margin-bottom:2em}"
    "@media print{body{margin:0}section.niveles{break-after:page;page-break-after:always}}";

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

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

struct Page {
  const Report& report;
  std::string out;

  std::string Name(NameKind kind, std::string_view code) const {
    const std::string_view name = report.NameOf(kind, code);
    return Escaped(name.empty() ? code : name);
  }
  std::string Named(NameKind kind, std::string_view code) const {
    return Escaped(report::Named(report, kind, code));
  }
};

// The template's periods, or when none are known the periods the lessons name, in order.
std::vector<Period> PeriodsOf(const Timetables& timetables,
                              const std::vector<const std::vector<Lesson>*>& lists) {
  if (!timetables.periods.empty()) return timetables.periods;
  std::set<std::pair<std::size_t, std::string>> seen;
  for (const auto* list : lists) {
    for (const Lesson& lesson : *list) seen.insert({lesson.period.size(), lesson.period});
  }
  std::vector<Period> periods;
  for (const auto& [size, order] : seen) periods.push_back({order, "", ""});
  return periods;
}

int LastDay(const std::vector<const std::vector<Lesson>*>& lists) {
  int last = 5;
  for (const auto* list : lists) {
    for (const Lesson& lesson : *list) last = std::max(last, std::min(lesson.day, 7));
  }
  return last;
}

using SlotKey = std::tuple<std::string, int, std::string>;  // code, day, period

// The lessons of one timetable by group, teacher and room, and those marked as clashes.
struct Index {
  std::map<std::string, std::vector<const Lesson*>> by_group, by_teacher, by_room;
  std::set<SlotKey> teacher_clashes, room_clashes;

  explicit Index(const std::vector<Lesson>& lessons) {
    for (const Lesson& lesson : lessons) {
      if (!lesson.duty) by_group[lesson.group].push_back(&lesson);
      if (!lesson.teacher.empty()) by_teacher[lesson.teacher].push_back(&lesson);
      if (!lesson.duty && !lesson.room.empty()) by_room[lesson.room].push_back(&lesson);
    }
  }
  const std::map<std::string, std::vector<const Lesson*>>& Of(Axis axis) const {
    return axis == Axis::Group ? by_group : axis == Axis::Teacher ? by_teacher : by_room;
  }
  bool Clashing(const Lesson& lesson) const {
    return teacher_clashes.contains({lesson.teacher, lesson.day, lesson.period}) ||
           (!lesson.duty && room_clashes.contains({lesson.room, lesson.day, lesson.period}));
  }
};

// One cell's lesson: what the grid's own axis does not say. Plain markup: a school's grids are
// tens of thousands of cells.
void Cell(Page& page, const Index& index, const Lesson& lesson, Axis axis) {
  std::string& out = page.out;
  const bool clashing = index.Clashing(lesson);
  out += lesson.left_out ? (clashing ? "<p class=\"fuera choque\" title=\"No se escribe\"><b>"
                                     : "<p class=\"fuera\" title=\"No se escribe\"><b>")
                         : (clashing ? "<p class=\"choque\"><b>" : "<p><b>");
  out += page.Name(NameKind::Subject, lesson.subject);
  out += "</b>";
  if (axis != Axis::Group && !lesson.duty) {
    out += "<br>";
    out += page.Name(NameKind::Group, lesson.group);
  }
  if (axis != Axis::Teacher) {
    out += "<br>";
    out += lesson.teacher.empty() ? std::string("<i>sin docente</i>")
                                  : page.Name(NameKind::Teacher, lesson.teacher);
  }
  if (axis != Axis::Room && !lesson.duty) {
    out += "<br>";
    out += lesson.room.empty() ? std::string("<i>sin aula</i>") : Escaped(lesson.room);
  }
  out += "</p>";
}

void Grid(Page& page, const Index& index, const std::vector<const Lesson*>& lessons, Axis axis,
          const std::vector<Period>& periods, int last_day) {
  std::map<std::pair<int, std::string>, std::vector<const Lesson*>> cells;
  for (const Lesson* lesson : lessons) cells[{lesson->day, lesson->period}].push_back(lesson);
  page.out += "<table class=\"horario\"><thead><tr><th>Sesi\xF3n</th>";
  for (int day = 1; day <= last_day; ++day) {
    std::string name(DayName(day));
    name[0] =
        static_cast<char>(name[0] - 'a' + 'A');  // every day's name starts with a plain letter
    page.out += "<th>" + name + "</th>";
  }
  page.out += "</tr></thead><tbody>";
  for (const Period& period : periods) {
    page.out += "<tr><th>" + Escaped(period.order);
    if (!period.from.empty()) page.out += "<br>" + Escaped(period.from) + "-" + Escaped(period.to);
    page.out += "</th>";
    for (int day = 1; day <= last_day; ++day) {
      page.out += "<td>";
      if (const auto found = cells.find({day, period.order}); found != cells.end()) {
        for (const Lesson* lesson : found->second) Cell(page, index, *lesson, axis);
      }
      page.out += "</td>";
    }
    page.out += "</tr>";
  }
  page.out += "</tbody></table>";
}

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

// The hours ASIGT asks Clepsa to place for one group or teacher.
void Loads(Page& page, const std::vector<const Load*>& loads, Axis axis) {
  double total = 0;
  for (const Load* load : loads) total += load->hours;
  page.out += "<table class=\"cargas\"><thead><tr><th>Asignatura</th><th>" +
              std::string(axis == Axis::Group ? "Docente" : "Grupo") +
              "</th><th>Aula</th><th>Horas</th></tr></thead><tbody>";
  for (const Load* load : loads) {
    page.out += "<tr><td>" + page.Named(NameKind::Subject, load->subject) + "</td><td>" +
                (axis == Axis::Group
                     ? (load->teacher.empty() ? std::string("<i>sin profesor</i>")
                                              : page.Named(NameKind::Teacher, load->teacher))
                     : page.Named(NameKind::Group, load->group)) +
                "</td><td>" +
                (load->room.empty() ? std::string("<i>sin aula</i>") : Escaped(load->room)) +
                "</td><td>" + HoursText(load->hours) + "</td></tr>";
  }
  page.out +=
      "<tr><th colspan=\"3\">Total</th><th>" + HoursText(total) + "</th></tr></tbody></table>";
}

}  // namespace

std::string RenderHtml(const Report& report) {
  const Timetables& timetables = report.timetables();
  const bool conversion = report.kind() == Report::Kind::Conversion;
  const std::string title = conversion ? "Informe de la conversi\xF3n ITACA -> Clepsa"
                                       : "Informe de la exportaci\xF3n Clepsa -> ITACA";
  Page page{report, {}};
  std::string& out = page.out;
  out += "<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         Escaped(title) + "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
  out += "<h1>" + Escaped(title) + "</h1>\n<p>";
  const Report::Header& header = report.header();
  for (const auto& [label, value] :
       {std::pair<std::string_view, const std::string*>{"Documento", &header.document},
        {"Carpeta de trabajo", &header.folder},
        {"Plantilla horaria", &header.template_code},
        {"Idioma", &header.language},
        {"Curso", &header.school_year},
        {"Documento de salida", &header.output}}) {
    if (!value->empty()) out += std::string(label) + ": " + Escaped(*value) + "<br>\n";
  }
  out += "</p>\n<section class=\"niveles\">\n";
  const LevelLines levels = RenderLevels(report);
  for (Level level : {Level::Itaca, Level::Clepsa, Level::Information}) {
    const auto& lines = levels[static_cast<std::size_t>(level)];
    out += "<h2 id=\"" + std::string(LevelName(level)) + "\">" + std::string(LevelTitle(level)) +
           "</h2>\n";
    if (lines.empty()) {
      out += "<p class=\"nada\">Nada.</p>\n";
      continue;
    }
    out += "<ul class=\"nivel\">\n";
    for (const std::string& line : lines) out += "<li>" + Escaped(line) + "</li>\n";
    out += "</ul>\n";
  }
  out += "<p>Los detalles (d\xF3nde est\xE1 cada elemento o registro) est\xE1n en el informe de "
         "texto.</p>\n</section>\n";

  // The timetable drawn: what was written (export) or ITACA's own of the template (conversion).
  const std::vector<Lesson>& drawn = conversion ? timetables.itaca : timetables.written;
  Index index(drawn);
  if (!conversion && timetables.verified) {
    for (const Clash& clash : timetables.verification.clashes) {
      if (clash.kind == Clash::Kind::Group) continue;
      (clash.kind == Clash::Kind::Teacher ? index.teacher_clashes : index.room_clashes)
          .insert({clash.code, clash.day, clash.period});
    }
  }
  const std::vector<Period> periods = PeriodsOf(timetables, {&drawn});
  const int last_day = LastDay({&drawn});
  std::map<std::string, std::vector<const Load*>> loads_by_group, loads_by_teacher;
  for (const Load& load : timetables.asked) {
    if (load.duty) continue;
    loads_by_group[load.group].push_back(&load);
    loads_by_teacher[load.teacher].push_back(&load);
  }

  out +=
      conversion
          ? "<h2>Lo que Clepsa tiene que colocar, junto al horario de ITACA en la plantilla</h2>\n"
          : "<h2>Horario escrito</h2>\n<p class=\"marcas\"><span class=\"choque\">En dos sitios "
            "a la vez</span><span class=\"fuera\">Colocado por Clepsa pero no escrito</span></p>\n";
  for (Axis axis : {Axis::Group, Axis::Teacher, Axis::Room}) {
    if (conversion && axis == Axis::Room) break;
    // Every code with lessons, and for a conversion every one with hours to place.
    std::set<std::string> codes;
    for (const auto& [code, lessons] : index.Of(axis)) codes.insert(code);
    if (conversion) {
      for (const auto& [code, loads] : axis == Axis::Group ? loads_by_group : loads_by_teacher) {
        if (!code.empty()) codes.insert(code);
      }
    }
    for (const std::string& code : codes) {
      out += "<section class=\"rejilla\" id=\"" + Anchor(AxisWord(axis), code) + "\" data-tipo=\"" +
             std::string(AxisWord(axis)) + "\" data-codigo=\"" + Escaped(code) + "\">\n<h3>" +
             std::string(AxisTitle(axis)) + " " + page.Named(AxisKind(axis), code) + "</h3>\n";
      if (conversion) {
        const auto& loads = axis == Axis::Group ? loads_by_group : loads_by_teacher;
        if (const auto found = loads.find(code); found != loads.end()) {
          Loads(page, found->second, axis);
        } else {
          out += "<p>Sin horas que colocar.</p>\n";
        }
      }
      static const std::vector<const Lesson*> kNone;
      const auto found = index.Of(axis).find(code);
      Grid(page, index, found == index.Of(axis).end() ? kNone : found->second, axis, periods,
           last_day);
      out += "\n</section>\n";
    }
  }
  out += "</body>\n</html>\n";
  return Cp1252ToUtf8(out);
}

}  // namespace tc::report
