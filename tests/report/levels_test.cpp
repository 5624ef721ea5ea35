// The report's first lines in names, the export's verification, and the HTML page's structure.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "report/render.h"
#include "report/report.h"
#include "report/timetable.h"

namespace tc::report {
namespace {

std::string Utf8(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += Cp1252ToUtf8(line) + "\n";
  return out;
}

Location Lesson(std::size_t position) {
  return Location::OfElement("/centro/horarios_grupo/horario_grupo", position, 100 + position);
}

// Past the lines shown a code is only counted; a code shown, met again after them, still adds.
TEST(Levels, MissingCodesPastTheLinesShownAreCountedInTheClosingLine) {
  Report report;
  for (std::size_t i = 0; i <= 32; ++i) {  // rooms A1 to A32, then A1 again
    report.Add(Reason::RoomNotFound, Lesson(i + 1))
        .Code("grupo", "1ESOA")
        .Code("contenido", "MAT")
        .Code("aula", "A" + std::to_string(i % 32 + 1));
  }
  const std::vector<std::string> lines = RenderLevels(report)[0];
  ASSERT_EQ(lines.size(), 31u);
  EXPECT_EQ(lines[0],
            "Aula A1 no est\xE1 entre las aulas del documento: 1ESOA MAT 2 h quedan sin aula.");
  EXPECT_EQ(lines[29],
            "Aula A30 no est\xE1 entre las aulas del documento: 1ESOA MAT 1 h quedan sin aula.");
  EXPECT_EQ(lines[30], "... y 2 m\xE1s como estas (el informe JSON las tiene todas).");
}

// A teacher and a room the document lacks, an idle group, a numbered code and the multi-template
// answer: what a head of studies reads first.
TEST(Levels, AConversionInNamesGroupedByTeacherRoomAndGroup) {
  Report report;
  report.Name(NameKind::Group, "1ESOA", "1r ESO A");
  report.Name(NameKind::Subject, "30120102", "Valenci\xE0");
  report.Name(NameKind::Subject, "232001", "Gu\xE0rdia");
  for (std::size_t position : {1, 2, 3}) {
    report.Add(Reason::TeacherNotFound, Lesson(position))
        .Code("grupo", position == 3 ? "2ESOB" : "1ESOA")
        .Code("curso", "301201")
        .Code("contenido", "30120102")
        .Code("docente", "56932487N")
        .Code("aula", "A101");
  }
  report
      .Add(Reason::TeacherNotFound,
           Location::OfElement("/centro/horarios_ocupaciones/horario_ocupacion", 4, 9))
      .Code("ocupacion", "232001")
      .Code("docente", "56932487N")
      .Code("plantilla", "MATI");
  report.Add(Reason::RoomNotFound, Lesson(5))
      .Code("grupo", "1ESOA")
      .Code("curso", "301201")
      .Code("contenido", "30120102")
      .Code("docente", "")
      .Code("aula", "LAB");
  report.Add(Reason::SingleElementList, Location::OfElement("/centro/aulas/aula", 1, 3));
  report
      .Renamed(Reason::CodeNumbered, Location::OfElement("/centro/docentes/docente", 2, 7), "GMJ",
               "GMJ1")
      .Code("documento", "1")
      .Code("nombre", "G\xF3mez Mas, J\xFAlia");
  report.Add(Reason::IdleGroup, Location::OfRecord("GRUPOST", 3))
      .Code("ABREV", "1BATA")
      .Code("CLAVE", "1BATA")
      .Code("DESCRIP", "1r Batxillerat A");
  report.timetables().provisional_hours = true;
  report.timetables().asked = {{"1ESOA", "30120102", "", "", 4, false},
                               {"", "232001", "X", "", 1, true}};

  const LevelLines levels = RenderLevels(report);
  EXPECT_EQ(Utf8(levels[0]),
            "Docente 56932487N no está entre los docentes del documento: 1r ESO A (1ESOA) "
            "Valencià (30120102) 2 h y 2ESOB Valencià (30120102) 1 h quedan sin profesor; 1 h de "
            "Guàrdia (232001) de ocupación quedan sin profesor.\n"
            "Aula LAB no está entre las aulas del documento: 1r ESO A (1ESOA) Valencià (30120102) "
            "1 h quedan sin aula.\n"
            "La lista de aulas tiene un solo elemento: no se importa, como si estuviera vacía.\n");
  EXPECT_EQ(
      Utf8(levels[1]),
      "1 asignaturas de grupo llegan a Clepsa incompletas (1 sin profesor, 1 sin aula y todas "
      "con las 4 h provisionales): se importó con los datos de todas las plantillas, que no "
      "cuentan horas.\n"
      "Grupo 1r ESO A (1ESOA), 4 h provisionales sin profesor ni aula cada una: Valencià "
      "(30120102).\n");
  EXPECT_EQ(Utf8(levels[2]),
            "Códigos repetidos, numerados en Clepsa: GMJ -> GMJ1 (Gómez Mas, Júlia).\n"
            "Grupos sin clases en la plantilla, quitados: 1r Batxillerat A (1BATA).\n");
  const std::string text = Cp1252ToUtf8(RenderText(report));
  // The headings come first; machine names and places only in the counts and details after them.
  const std::string first = text.substr(0, text.find("\nAvisos:"));
  EXPECT_NE(first.find("\n\nRevise en ITACA:\n  Docente 56932487N"), std::string::npos) << text;
  for (const char* detail : {"docente_no_encontrado", "/centro/", "registro"}) {
    EXPECT_EQ(first.find(detail), std::string::npos) << detail;
  }
}

TEST(Levels, EmptyHeadingsSayNothing) {
  EXPECT_EQ(RenderLevelsText(Report()),
            "Revise en ITACA: nada\nRevise en Clepsa: nada\nPara su informaci\xF3n: nada\n");
}

TEST(Levels, EveryReasonHasOneLevelAndTheExportsAreClepsas) {
  for (std::size_t i = 0; i < kReasonCount; ++i) {
    const auto reason = static_cast<Reason>(i);
    const bool exported = reason >= Reason::NotPlaced;
    EXPECT_EQ(ReasonLevel(reason) == Level::Clepsa, exported) << ReasonName(reason);
  }
  EXPECT_EQ(ReasonLevel(Reason::TeacherNotFound), Level::Itaca);
  EXPECT_EQ(ReasonLevel(Reason::OtherTemplate), Level::Information);
  EXPECT_EQ(LevelName(Level::Information), "para_su_informacion");
}

// A list of lessons gives back each one as added, well past its codes' first room, and the same
// code the same number; a lesson taken from another list keeps its codes.
TEST(Lessons, EachLessonReadBackAsAddedItsCodesNumberedOnce) {
  Lessons lessons;
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    lessons.push_back({i % 8, n, "G" + n, "S", i % 2 ? "" : "T" + n, "R" + n, i % 3 == 0, i == 7});
  }
  ASSERT_EQ(lessons.size(), 300u);
  const LessonView last = lessons[299];
  EXPECT_EQ(std::vector<std::string_view>(
                {last.period, last.group, last.subject, last.teacher, last.room}),
            std::vector<std::string_view>({"299", "G299", "S", "", "R299"}));
  EXPECT_EQ(lessons[8].teacher, "T8");
  EXPECT_TRUE(lessons[7].left_out && !lessons[7].duty && lessons[6].duty);
  EXPECT_EQ(lessons.NumbersOf(3).subject, lessons.NumbersOf(299).subject);
  EXPECT_EQ(lessons.NumbersOf(1).teacher, lessons.NumbersOf(3).teacher);  // both empty
  EXPECT_NE(lessons.NumbersOf(2).group, lessons.NumbersOf(4).group);
  Lessons other;
  other.Append(lessons[8]);
  const report::Lesson copied = other[0];
  EXPECT_EQ(copied.day, 0);
  EXPECT_EQ(copied.group + copied.teacher + copied.room, "G8T8R8");
  // Added by its codes' numbers, the same lesson.
  lessons.AddNumbered(5,
                      {lessons.Code("3"), lessons.Code("G3"), lessons.Code("S"), lessons.Code("T4"),
                       lessons.Code("")},
                      true);
  const report::Lesson added = lessons[300];
  EXPECT_TRUE(added.day == 5 && added.duty && !added.left_out);
  EXPECT_EQ(added.period + "/" + added.group + "/" + added.subject + "/" + added.teacher + "/" +
                added.room,
            "3/G3/S/T4/");
  EXPECT_EQ(lessons.NumbersOf(300).group, lessons.NumbersOf(3).group);
}

// An export's timetables: ITACA had 2 h of MAT for 1ESOA with T1; one difference of each kind.
Timetables Exported() {
  Timetables t;
  t.periods = {{"1", "08:00", "08:55"}, {"2", "08:55", "09:50"}};
  t.itaca = {{1, "1", "1ESOA", "MAT", "T1", "A1"}, {2, "1", "1ESOA", "MAT", "T1", "A1"}};
  t.written = {{1, "1", "1ESOA", "MAT", "T1", "A1"},
               {1, "2", "1ESOA", "MAT", "T1", "A1"},
               {2, "1", "1ESOA", "MAT", "T1", "A1"}};
  t.asked = {{"1A", "MAT", "T", "", 3}};
  t.placed.Add(false, "1A", "MAT", "T", 3);
  return t;
}

TEST(Verify, EachKindOfDifference) {
  struct Case {
    const char* what;
    void (*change)(Timetables&);
    std::size_t document, clepsa, without_teacher, without_room, clashes;
    Clash::Kind kind;
  };
  const Case cases[] = {
      {"ITACA's hours differ", [](Timetables&) {}, 1, 0, 0, 0, 0, Clash::Kind::Teacher},
      {"Clepsa placed fewer",
       [](Timetables& t) {
         t.placed = HoursList();
         t.placed.Add(false, "1A", "MAT", "T", 2);
       },
       1, 1, 0, 0, 0, Clash::Kind::Teacher},
      {"no teacher, no room",
       [](Timetables& t) {
         t.written.push_back({3, "1", "1ESOA", "MAT", "", ""});
       },
       2, 0, 1, 1, 0, Clash::Kind::Teacher},
      {"a teacher in two rooms",
       [](Timetables& t) {
         t.written.push_back({1, "1", "2ESOA", "FIS", "T1", "A2"});
       },
       2, 0, 0, 0, 1, Clash::Kind::Teacher},
      {"a room with two teachers",
       [](Timetables& t) {
         t.written.push_back({1, "2", "2ESOA", "FIS", "T2", "A1"});
       },
       2, 0, 0, 0, 1, Clash::Kind::Room},
      {"two teachers with one group in one room",
       [](Timetables& t) {
         t.written.push_back({1, "1", "1ESOA", "MAT", "T5", "A1"});
       },
       2, 0, 0, 0, 1, Clash::Kind::Group},
      {"a group split in two",
       [](Timetables& t) {
         t.written.push_back({2, "1", "1ESOA", "ING", "T3", "A3"});
       },
       2, 0, 0, 0, 1, Clash::Kind::Group},
      {"a joined class is no clash",
       [](Timetables& t) {
         t.written.push_back({1, "1", "1ESOB", "MAT", "T1", "A1"});
       },
       2, 0, 0, 0, 0, Clash::Kind::Teacher},
      {"a left-out lesson is not counted",
       [](Timetables& t) {
         t.written.push_back({1, "1", "9Z", "MAT", "T9", "A1", false, true});
       },
       1, 0, 0, 0, 0, Clash::Kind::Teacher},
  };
  for (const Case& c : cases) {
    Timetables t = Exported();
    c.change(t);
    const Verification v = Verify(t);
    EXPECT_EQ(v.document.size(), c.document) << c.what;
    EXPECT_EQ(v.clepsa.size(), c.clepsa) << c.what;
    EXPECT_EQ(v.without_teacher.size(), c.without_teacher) << c.what;
    EXPECT_EQ(v.without_room.size(), c.without_room) << c.what;
    ASSERT_EQ(v.clashes.size(), c.clashes) << c.what;
    if (c.clashes > 0) {
      EXPECT_EQ(v.clashes.back().kind, c.kind) << c.what;
    }
  }
  const Verification v = Verify(Exported());
  EXPECT_EQ(v.document[0].group, "1ESOA");
  EXPECT_EQ(v.document[0].expected, 2);
  EXPECT_EQ(v.document[0].actual, 3);
}

// The totals beside the differences: a group's classes (all its subjects, its duties none), a
// teacher's classes and duties; only of those with a difference, in the order of their codes.
TEST(Verify, TotalsOfTheGroupsAndTeachersWithADifference) {
  Timetables t;
  t.itaca = {{1, "1", "G1", "MAT", "T1", "A1"}, {2, "1", "G1", "MAT", "T1", "A1"},
             {3, "1", "G1", "FIS", "T2", "A1"}, {4, "1", "", "GUA", "T1", "", true},
             {1, "2", "G2", "MAT", "T3", "A2"}, {2, "2", "G2", "MAT", "T3", "A2"}};
  t.written = {{1, "1", "G1", "MAT", "T1", "A1"},
               {3, "1", "G1", "FIS", "T2", "A1"},
               {4, "1", "", "GUA", "T1", "", true},
               {1, "2", "G2", "MAT", "T3", "A2"},
               {2, "2", "G2", "MAT", "T3", "A2"}};
  t.asked = {
      {"1A", "MAT", "P1", "", 2}, {"1A", "FIS", "P2", "", 1}, {"", "GUA", "P1", "", 1, true}};
  t.placed.Add(false, "1A", "MAT", "P1", 2);
  t.placed.Add(false, "1A", "FIS", "P2", 1);
  const Verification v = Verify(t);
  auto shown = [](const std::vector<HoursTotal>& totals) {
    std::string text;
    for (const HoursTotal& total : totals) {
      text += total.code + " " + std::to_string(static_cast<int>(total.expected)) + "/" +
              std::to_string(static_cast<int>(total.actual)) + ";";
    }
    return text;
  };
  EXPECT_EQ(shown(v.document_groups), "G1 3/2;");
  EXPECT_EQ(shown(v.document_teachers), "T1 3/2;");
  EXPECT_EQ(shown(v.clepsa_groups), "");  // a duty's difference is no group's
  EXPECT_EQ(shown(v.clepsa_teachers), "P1 3/2;");
  EXPECT_EQ(FindTotal(v.document_groups, "G2"), nullptr);
  ASSERT_NE(FindTotal(v.clepsa_teachers, "P1"), nullptr);
  EXPECT_EQ(FindTotal(v.clepsa_teachers, "P1")->expected, 3);
}

// Clashes teachers first, then rooms, then groups, each kind by code, day and period; every
// clash names the lessons of its slot in the order they were written, left-out ones aside.
TEST(Verify, ClashesInOrderWithTheirLessonsAsWritten) {
  Timetables t;
  t.written = {{2, "1", "G2", "S", "TB", "R1"},               // 0
               {1, "3", "G1", "S", "TA", "R1"},               // 1
               {2, "1", "G1", "S", "TB", "R2"},               // 2: TB in two rooms
               {1, "3", "G3", "S", "TC", "R1"},               // 3: R1 with two teachers
               {2, "1", "G9", "S", "TB", "R3", false, true},  // 4: left out
               {1, "3", "G1", "S2", "TA", "R9"},              // 5: TA in two, G1 split
               {1, "2", "G4", "S", "TA", "R4"},
               {1, "10", "G5", "S", "TA", "R5"},   // 7: TA in two rooms in a period met last,
               {1, "10", "G6", "S", "TA", "R6"}};  // 8: but first as a text
  std::vector<std::string> found;
  for (const Clash& c : Verify(t).clashes) {
    std::string text = std::to_string(static_cast<int>(c.kind)) + " " + c.code + " " +
                       std::to_string(c.day) + " " + c.period + ":";
    for (std::size_t lesson : c.lessons) text += " " + std::to_string(lesson);
    found.push_back(text);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"0 TA 1 10: 7 8", "0 TA 1 3: 1 5", "0 TB 2 1: 0 2",
                                             "1 R1 1 3: 1 3", "2 G1 1 3: 1 5"}));
}

TEST(Verify, TheExportsLinesNameGroupSubjectAndTeacher) {
  Report report(Report::Kind::Export);
  report.timetables() = Exported();
  report.timetables().placed = HoursList();
  report.timetables().placed.Add(false, "1A", "MAT", "T", 2);
  report.timetables().written.push_back({1, "1", "2ESOA", "FIS", "T1", "A2"});
  report.Name(NameKind::Teacher, "T1", "P\xE9rez, Ana");
  report.Name(NameKind::Subject, "MAT", "Matem\xE0tiques");
  KeepVerification(report.timetables());
  EXPECT_EQ(
      Utf8(RenderLevels(report)[1]),
      "El documento escrito no tiene las horas del documento de ITACA en la plantilla:\n"
      "Grupo 1ESOA (2 h en ITACA, 3 h escritas): Matemàtiques (MAT) con Pérez, Ana (T1) 2 h en "
      "ITACA y 3 h escritas.\n"
      "Grupo 2ESOA (0 h en ITACA, 1 h escritas): FIS con Pérez, Ana (T1) 0 h en ITACA y 1 h "
      "escritas.\n"
      "Docente Pérez, Ana (T1) (2 h en ITACA, 4 h escritas): 1ESOA Matemàtiques (MAT) 2 h en ITACA "
      "y 3 h escritas y "
      "2ESOA FIS 0 h en ITACA y 1 h escritas.\n"
      "Clepsa no ha colocado las horas que pide ASIGT:\n"
      "Grupo 1A (3 h pedidas, 2 h colocadas): Matemàtiques (MAT) con T 3 h pedidas y 2 h "
      "colocadas.\n"
      "Docente Pérez, Ana (T1) en dos sitios el lunes, sesión 1 (08:00-08:55): 1ESOA "
      "Matemàtiques (MAT) con Pérez, Ana (T1) en A1 y 2ESOA FIS con Pérez, Ana (T1) en A2.\n");
  const std::string json = RenderJson(report);
  EXPECT_NE(json.find("\"horas_clepsa\": [\n      {\"grupo\": \"1A\", \"contenido\": \"MAT\", "
                      "\"docente\": \"T\", \"ocupacion\": false, \"esperadas\": 3, "
                      "\"obtenidas\": 2}\n    ],"),
            std::string::npos)
      << json;
}

// ITACA's own timetable given as its hours by group, subject and teacher, as the export reads it
// (a key may come twice), verifies and reads exactly as the same timetable lesson by lesson.
TEST(Verify, ItacasTimetableAsHoursReadsAsItsLessons) {
  Report lessons(Report::Kind::Export), hours(Report::Kind::Export);
  lessons.timetables() = Exported();
  hours.timetables() = Exported();
  hours.timetables().itaca.clear();
  for (int twice = 0; twice < 2; ++twice)
    hours.timetables().itaca_hours.Add(false, "1ESOA", "MAT", "T1", 1);
  for (Report* report : {&lessons, &hours}) KeepVerification(report->timetables());
  const Verification& v = hours.timetables().verification;
  ASSERT_EQ(v.document.size(), 1u);
  EXPECT_EQ(v.document[0].expected, 2);
  EXPECT_EQ(v.document[0].actual, 3);
  EXPECT_EQ(RenderLevelsText(hours), RenderLevelsText(lessons));
}

// Thousands of codes and keys, well past the tables' first sizes: every key keeps its own hours
// and every code its own slots as the tables grow (no room is shared, each group meets twice).
TEST(Verify, ThousandsOfCodesKeepTheirOwnHours) {
  Timetables t;
  std::vector<std::string> differ, clashes, split;
  // Met out of their order as texts, in which the differences and the clashes come.
  for (int k = 0; k < 3000; ++k) {
    const int i = k * 7 % 3000;
    const std::string n = std::to_string(10000 + i), teacher = "T" + n, group = "G" + n;
    t.itaca_hours.Add(false, group, "S", teacher, 2);
    t.written.push_back({1, "1", group, "S", teacher, "R" + n});
    // Every third teacher one hour short; every seventh one more, in two rooms at once.
    const int hours = 1 + (i % 3 != 0) + (i % 7 == 0);
    if (i % 3 != 0) t.written.push_back({2, "1", group, "S", teacher, "R" + n});
    if (i % 7 == 0) {
      t.written.push_back({1, "1", group, "S", teacher, "X" + n});
      clashes.push_back(teacher);
      split.push_back(group);
    }
    if (hours != 2) differ.push_back(group + " " + std::to_string(hours));
  }
  std::sort(differ.begin(), differ.end());
  std::sort(clashes.begin(), clashes.end());
  std::sort(split.begin(), split.end());
  const Verification v = Verify(t);
  std::vector<std::string> found;
  for (const HoursDifference& d : v.document) {
    EXPECT_EQ(d.expected, 2) << d.group;
    found.push_back(d.group + " " + std::to_string(static_cast<int>(d.actual)));
  }
  EXPECT_EQ(found, differ);
  found.clear();
  std::vector<std::string> groups, rooms;
  for (const Clash& c : v.clashes) {
    EXPECT_TRUE(std::is_sorted(c.lessons.begin(), c.lessons.end())) << c.code;
    (c.kind == Clash::Kind::Teacher ? found
     : c.kind == Clash::Kind::Group ? groups
                                    : rooms)
        .push_back(c.code);
  }
  EXPECT_EQ(found, clashes);
  EXPECT_EQ(groups, split);
  EXPECT_EQ(rooms, std::vector<std::string>());
}

TEST(Verify, HoursFoundAgainAfterTheirTableGrew) {
  // Nothing in ITACA: the table of hours starts at its smallest and grows many times over as the
  // written lessons come, each key met twice, the second time after a growth for some.
  Timetables t;
  std::vector<std::string> expected;
  for (int i = 0; i < 700; ++i) {
    const std::string n = std::to_string(1000 + i);
    t.written.push_back({1, "1", "G" + n, "S", "T" + n, "R" + n});
    expected.push_back("G" + n + " 0 2");
  }
  for (int i = 0; i < 700; ++i) {
    const std::string n = std::to_string(1000 + i);
    t.written.push_back({2, "1", "G" + n, "S", "T" + n, "R" + n});
  }
  std::vector<std::string> found;
  for (const HoursDifference& d : Verify(t).document) {
    found.push_back(d.group + " " + std::to_string(static_cast<int>(d.expected)) + " " +
                    std::to_string(static_cast<int>(d.actual)));
  }
  EXPECT_EQ(found, expected);
}

// The renderings given the first lines worked out once are those that work them out.
TEST(RenderLevels, WorkedOutOnceForTheThreeRenderings) {
  Report report(Report::Kind::Export);
  report.timetables() = Exported();
  report.timetables().written.push_back({1, "1", "2ESOA", "FIS", "T1", "A2"});
  KeepVerification(report.timetables());
  const LevelLines levels = RenderLevels(report);
  EXPECT_EQ(RenderText(report, levels), RenderText(report));
  EXPECT_EQ(RenderJson(report, levels), RenderJson(report));
  EXPECT_EQ(RenderHtml(report, levels), RenderHtml(report));
}

// A large report handed on in pieces gives, put together, the bytes it gives whole.
TEST(RenderLevels, InPiecesTheSameBytesAsWhole) {
  Report report(Report::Kind::Export);
  report.timetables() = Exported();
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    report.timetables().written.push_back({1 + i % 5, std::to_string(1 + i % 2), "G" + n, "M" + n,
                                           "T" + std::to_string(i % 700), "A" + n});
    report.Add(i % 2 ? Reason::RoomNotFound : Reason::TeacherNotFound, Lesson(2 * i + 1))
        .Code("grupo", "G" + n)
        .Code("docente", "T" + n);
  }
  KeepVerification(report.timetables());
  const LevelLines levels = RenderLevels(report);
  using Render = std::string (*)(const Report&, const LevelLines&, const PieceSink*);
  for (Render render : {Render{RenderText}, Render{RenderJson}, Render{RenderHtml}}) {
    std::vector<std::string> pieces;
    const PieceSink sink = [&pieces](std::string piece) { pieces.push_back(std::move(piece)); };
    EXPECT_EQ(render(report, levels, &sink), "");
    std::string whole;
    for (const std::string& piece : pieces) whole += piece;
    EXPECT_EQ(whole, render(report, levels, nullptr));
    EXPECT_GT(pieces.size(), 2u);
  }
  // The page's grids, drawn on two threads, each once in the page's order: groups, teachers,
  // rooms, each kind by code.
  const std::string html = RenderHtml(report, levels);
  std::vector<std::string> shown;
  const std::string mark = "<section class=\"rejilla\" id=\"";
  for (std::size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at + 1)) {
    const std::size_t from = at + mark.size();
    shown.push_back(html.substr(from, html.find('"', from) - from));
  }
  std::vector<std::string> expected = shown;
  const auto kind = [](const std::string& id) {
    return id.rfind("grupo-", 0) == 0 ? 0 : id.rfind("docente-", 0) == 0 ? 1 : 2;
  };
  std::stable_sort(expected.begin(), expected.end(),
                   [&](const std::string& a, const std::string& b) {
                     return kind(a) != kind(b) ? kind(a) < kind(b) : a < b;
                   });
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(shown, expected);
  EXPECT_GT(shown.size(), 40000u);
}

TEST(RenderHtml, SelfContainedWithAGridPerGroupTeacherAndRoomAndMarkedCells) {
  Report report(Report::Kind::Export);
  report.timetables() = Exported();
  report.timetables().written.push_back({1, "1", "2ESOA", "FIS", "T1", "A2"});
  report.timetables().written.push_back({2, "2", "3ESOA", "QUI", "T4", "A4", false, true});
  report.Name(NameKind::Group, "1ESOA", "1r <ESO> A");
  KeepVerification(report.timetables());
  const std::string html = RenderHtml(report);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"es\">", 0), 0u);
  for (const char* outside :
       {"<script", "http:", "https:", "@font-face", "url(", "<link", "<img"}) {
    EXPECT_EQ(html.find(outside), std::string::npos) << outside;
  }
  for (const char* grid :
       {"id=\"grupo-1ESOA\"", "id=\"grupo-2ESOA\"", "id=\"grupo-3ESOA\"", "id=\"docente-T1\"",
        "id=\"docente-T4\"", "id=\"aula-A1\"", "id=\"aula-A2\"", "id=\"aula-A4\""}) {
    EXPECT_NE(html.find(grid), std::string::npos) << grid;
  }
  EXPECT_NE(html.find("<h3>Grupo 1r &lt;ESO&gt; A (1ESOA)</h3>"), std::string::npos);
  EXPECT_NE(html.find("<th>1<br>08:00-08:55</th>"), std::string::npos);
  // The teacher's clash is marked in both of its grids' cells, the left-out lesson apart.
  std::size_t clashes = 0;
  for (std::size_t at = html.find("<p class=\"choque\">"); at != std::string::npos;
       at = html.find("<p class=\"choque\">", at + 1)) {
    ++clashes;
  }
  EXPECT_EQ(clashes, 6u) << "two lessons in the teacher's grid, the groups' and the rooms'";
  EXPECT_NE(html.find("<p class=\"fuera\" title=\"No se escribe\"><b>QUI</b>"), std::string::npos);
  EXPECT_NE(html.find("break-after:page"), std::string::npos);
}

// One group's grid exactly: lessons of one cell in the timetable's order, names escaped and in
// UTF-8, a period without times, a missing room, and what no cell holds listed below the grid.
TEST(RenderHtml, GridCellsInOrderAndWhatNoCellHoldsBelowIt) {
  Report report(Report::Kind::Export);
  Timetables& timetables = report.timetables();
  timetables.periods = {{"1", "08:00", "08:55"}, {"2", "", ""}};
  timetables.written = {{1, "1", "G", "S", "T", "R"},
                        {1, "1", "G", "S2", "T2", "R2"},
                        {2, "2", "G", "S", "T", ""},
                        {0, "0", "G", "S", "T", "R", false, true},
                        {3, "9", "G", "S", "T", "R", false, true}};
  report.Name(NameKind::Subject, "S", "Matem\xE0tiques <1>");
  const std::string html = RenderHtml(report);
  const std::string section =
      "<section class=\"rejilla\" id=\"grupo-G\" data-tipo=\"grupo\" data-codigo=\"G\">\n"
      "<h3>Grupo G</h3>\n<table class=\"horario\"><thead><tr><th>Sesión</th><th>Lunes</th>"
      "<th>Martes</th><th>Miércoles</th><th>Jueves</th><th>Viernes</th></tr></thead><tbody>"
      "<tr><th>1<br>08:00-08:55</th><td><p><b>Matemàtiques &lt;1&gt;</b><br>T<br>R</p>"
      "<p><b>S2</b><br>T2<br>R2</p></td><td></td><td></td><td></td><td></td></tr>"
      "<tr><th>2</th><td></td><td><p><b>Matemàtiques &lt;1&gt;</b><br>T<br><i>sin aula</i></p>"
      "</td><td></td><td></td><td></td></tr></tbody></table><div class=\"sin-colocar\">"
      "<h4>Sin colocar en la rejilla</h4><p class=\"fuera\" title=\"No se escribe\"><b>"
      "Matemàtiques &lt;1&gt;</b><br>T<br>R<br>sin día ni hora</p><p class=\"fuera\" "
      "title=\"No se escribe\"><b>Matemàtiques &lt;1&gt;</b><br>T<br>R<br>miércoles, hora 9</p>"
      "</div>\n</section>\n";
  EXPECT_NE(html.find(section), std::string::npos) << html.substr(html.find("<section class"));
  // The teacher's grid names the group instead of the teacher.
  EXPECT_NE(html.find("<h3>Docente T2</h3>"), std::string::npos);
  EXPECT_NE(html.find("<p><b>S2</b><br>G<br>R2</p>"), std::string::npos);
}

}  // namespace
}  // namespace tc::report
