// Reading ITACA documents: every encoding to the same values, element lists, attribute trimming
// and the errors that stop a run before it touches a table.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "base/codepage.h"
#include "base/digest.h"
#include "base/error.h"
#include "itaca/document.h"
#include "support/pugixml_reading.h"
#include "support/test_support.h"

namespace tc::itaca {
namespace {

using test::W;

// The message of the DocumentError that `action` throws, or "" when it throws none.
std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const DocumentError& error) {
    return error.what();
  }
  return "";
}

// ---------------------------------------------------------------------------------------------
// Encodings

const char16_t* const kAccents = u"\u00E0 \u00E8 \u00E9 \u00ED \u00EF \u00F2 \u00F3 \u00FA \u00FC "
                                 u"\u00E7 \u00F1 \u00B7 \u20AC";

// The same small school, with the declaration naming `encoding` (none when empty).
std::u16string School(std::u16string_view encoding) {
  std::u16string text;
  if (!encoding.empty()) {
    text += u"<?xml version=\"1.0\" encoding=\"" + std::u16string(encoding) + u"\"?>\r\n";
  } else {
    text += u"<!-- no declaration -->\r\n";
  }
  text += u"<centro codigo=\"46000001\">\r\n"
          u"  <docentes>\r\n"
          u"    <docente documento=\"1\" nombre=\" ";
  text += kAccents;
  text += u" \"/>\r\n"
          u"    <docente documento=\"2\" nombre=\"Jos\u00E9\"/>\r\n"
          u"  </docentes>\r\n"
          u"</centro>\r\n";
  return text;
}

std::string Utf16Bytes(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

struct EncodedSchool {
  const char* label;
  std::string bytes;
};

std::vector<EncodedSchool> SchoolInEveryEncoding() {
  const std::string cp1252 = Utf16ToCp1252(School(u"windows-1252"));
  auto eight_bit = [](std::u16string_view encoding) { return Utf16ToCp1252(School(encoding)); };
  return {
      {"UTF-8", Cp1252ToUtf8(Utf16ToCp1252(School(u"UTF-8")))},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + Cp1252ToUtf8(Utf16ToCp1252(School(u"utf-8")))},
      {"UTF-8 undeclared", Cp1252ToUtf8(Utf16ToCp1252(School(u"")))},
      {"UTF-16 LE", Utf16Bytes(School(u"UTF-16"), false)},
      {"UTF-16 BE", Utf16Bytes(School(u"UTF-16"), true)},
      {"UTF-16 LE unmarked", Utf16Bytes(School(u"UTF-16"), false).substr(2)},
      {"windows-1252", cp1252},
      {"WINDOWS-1252", eight_bit(u"WINDOWS-1252")},
      // Latin-1 has no euro sign: the file carries it as a reference.
      {"ISO-8859-1", Replace(eight_bit(u"ISO-8859-1"), "\x80", "&#8364;")},
      {"iso-8859-15", Replace(eight_bit(u"iso-8859-15"), "\x80", "\xA4")},
  };
}

TEST(Encodings, EveryEncodingReadsToTheSameValues) {
  const std::string accents = W("à è é í ï ò ó ú ü ç ñ · €");
  for (const auto& school : SchoolInEveryEncoding()) {
    SCOPED_TRACE(school.label);
    const Document document = Document::Parse(school.bytes, school.label);
    const ElementList teachers = document.Select(kTeachers);
    ASSERT_EQ(teachers.Count(), 2u);
    EXPECT_EQ(teachers[0].Attr("nombre"), accents);
    EXPECT_EQ(teachers[1].Attr("nombre"), W("José"));
    EXPECT_EQ(teachers[1].Line(), 5);
    EXPECT_EQ(document.Root().Attr("codigo"), "46000001");
  }
}

TEST(Encodings, Latin1FilesWrittenOnWindowsKeepTheirEuroSign) {
  // Windows editors label Windows-1252 text as ISO-8859-1; its 0x80-0x9F are read as such.
  const Document document = Document::Parse(
      "<?xml version='1.0' encoding='ISO-8859-1'?><centro codigo='\x80 \x93" "a\x94'/>");
  EXPECT_EQ(document.Root().Attr("codigo"), "\x80 \x93" "a\x94");
}

TEST(Encodings, AnEncodingWeDoNotReadIsNamed) {
  EXPECT_EQ(ErrorOf([] {
              Document::Parse("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><centro/>",
                              "prueba.xml");
            }),
            W("El documento ITACA prueba.xml está en la codificación \"Shift_JIS\", que no se "
              "puede leer (se admiten UTF-8, UTF-16, ISO-8859-1, ISO-8859-15 y windows-1252)."));
  EXPECT_EQ(ErrorOf([] { Document::Parse(std::string("\xFF\xFE\0\0", 4), "u.xml"); }),
            W("El documento ITACA u.xml está en la codificación \"UTF-32\", que no se puede "
              "leer (se admiten UTF-8, UTF-16, ISO-8859-1, ISO-8859-15 y windows-1252)."));
  // A UTF-16 file must still name an encoding we can write back.
  EXPECT_NE(ErrorOf([] { Document::Parse(Utf16Bytes(School(u"EBCDIC-US"), false)); }), "");
}

TEST(Encodings, BytesThatAreNotInTheEncodingTheyClaimAreRefused) {
  // A file saved in Windows-1252 by an editor without saying so: reading it as UTF-8 would
  // turn every accent into '?' without a word.
  EXPECT_EQ(ErrorOf([] { Document::Parse("<centro>\n<a n='Jos\xE9'/></centro>", "p.xml"); }),
            W("El documento ITACA p.xml no está escrito en UTF-8 (línea 2) y no declara "
              "ninguna otra codificación."));
  EXPECT_EQ(
      ErrorOf([] {
        Document::Parse("<?xml version='1.0' encoding='UTF-8'?><centro n='\xE9'/>", "p.xml");
      }),
      W("El documento ITACA p.xml no está escrito en UTF-8 (línea 1), que es la codificación "
        "que declara."));
  // Named as such even past a fault of its XML, and with the mark of UTF-8.
  EXPECT_EQ(ErrorOf([] { Document::Parse("\xEF\xBB\xBF<centro a='1' a='2'>\n\xED\xA0\x80</centro>",
                                         "p.xml"); }),
            W("El documento ITACA p.xml no está escrito en UTF-8 (línea 2), aunque empieza con "
              "la marca de UTF-8."));
  EXPECT_EQ(ErrorOf([] { Document::Parse("<?xml version='1.0' encoding='UTF-16'?><centro/>",
                                         "p.xml"); }),
            W("El documento ITACA p.xml declara la codificación \"UTF-16\", pero no está "
              "escrito en UTF-16."));
}

// ---------------------------------------------------------------------------------------------
// Element lists

constexpr std::string_view kLists =
    "<centro>\n"
    "  <aulas/>\n"
    "  <cursos><curso codigo='1'/></cursos>\n"
    "  <docentes>\n"
    "    <docente documento='A'/><!-- a comment between -->\n"
    "    <otro documento='X'/>\n"
    "    <docente documento='B'>text<docente documento='nested'/></docente>\n"
    "    <docente documento='C'/>\n"
    "  </docentes>\n"
    "  <docentes><docente documento='D'/></docentes>\n"
    "</centro>\n";

TEST(ElementLists, ZeroOneAndManyInDocumentOrder) {
  const Document document = Document::Parse(kLists);
  EXPECT_TRUE(document.Select(kRooms).Empty());
  EXPECT_TRUE(document.Select(kGroups).Empty());  // absent collection
  ASSERT_EQ(document.Select(kCourses).Count(), 1u);
  EXPECT_EQ(document.Select(kCourses)[0].Attr("codigo"), "1");

  // Both collection elements count; other names and deeper levels do not.
  const ElementList teachers = document.Select(kTeachers);
  std::vector<std::string> keys;
  for (const Element& teacher : teachers) keys.push_back(teacher.Attr("documento"));
  EXPECT_EQ(keys, (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(teachers.At(3).Line(), 10);
  EXPECT_EQ(teachers[0].Name(), "docente");
  EXPECT_THROW(teachers.At(4), std::out_of_range);
  EXPECT_TRUE(document.Select("/otro/docentes/docente").Empty());
  EXPECT_TRUE(Document().Select(kTeachers).Empty());
}

// The list rule: a collection of one element is read like an empty one.
TEST(ElementLists, TheListRuleReadsNoneOfAListOfOne) {
  const Document document = Document::Parse(kLists);
  const ElementList rooms = document.Select(kRooms);
  const ElementList courses = document.Select(kCourses);
  const ElementList teachers = document.Select(kTeachers);
  EXPECT_TRUE(rooms.Listed().empty());
  EXPECT_TRUE(courses.Listed().empty());
  ASSERT_EQ(teachers.Listed().size(), 4u);
  EXPECT_EQ(teachers.Listed()[3].Attr("documento"), "D");
}

// ---------------------------------------------------------------------------------------------
// Attributes

TEST(Attributes, BlanksGoTabsBecomeBlanksReferencedControlsStay) {
  const Document document = Document::Parse(
      "<centro>\n<aulas>\n"
      "<aula nombre='  Aula  1 \t' codigo=\"\tA1\t\" vacio='' blancos='   '"
      " ref='&#9;X&#10;' nbsp='&#160;Y'/>\n"
      "</aulas>\n</centro>");
  const Element room = document.Select(kRooms)[0];
  EXPECT_EQ(room.Attr("nombre"), "Aula  1");
  EXPECT_EQ(room.Attr("codigo"), "A1");  // the parser turns literal tabs into blanks
  EXPECT_EQ(room.Attr("vacio"), "");
  EXPECT_EQ(room.Attr("blancos"), "");
  EXPECT_EQ(room.Attr("ref"), "\tX\n");  // referenced characters are kept, and are no blanks
  EXPECT_EQ(room.Attr("nbsp"), "\xA0Y");
  EXPECT_TRUE(room.HasAttr("vacio"));
  EXPECT_FALSE(room.HasAttr("otro"));
  EXPECT_EQ(room.TryAttr("vacio"), std::optional<std::string>(""));
  EXPECT_EQ(room.TryAttr("otro"), std::nullopt);
  // The dialog trims every control character too, before conversion.
  EXPECT_EQ(room.DialogAttr("ref"), "X");
  EXPECT_EQ(room.DialogAttr("nombre"), "Aula  1");
  EXPECT_EQ(room.DialogAttr("nbsp"), "\xA0Y");
  EXPECT_EQ(room.DialogAttr("otro"), "");
}

// Several attributes at once, as the document holds them, read as TryAttr reads each.
TEST(Attributes, SeveralAtOnceAsTheDocumentHoldsThem) {
  const Document document = Document::Parse(
      "<centro>\n<aulas>\n"
      "<aula codigo=' A1 ' nombre='Aula d&apos;Idiomes' nbsp='&#160;Y' vacio=''/>\n"
      "</aulas>\n</centro>");
  const Element room = document.Select(kRooms)[0];
  constexpr std::string_view kNames[] = {"nbsp", "codigo", "otro", "vacio", "nombre"};
  std::optional<std::string_view> values[5];
  room.RawAttrs(kNames, values);
  EXPECT_EQ(values[1], std::optional<std::string_view>(" A1 "));
  EXPECT_EQ(values[2], std::nullopt);
  EXPECT_EQ(values[4], std::optional<std::string_view>("Aula d'Idiomes"));
  for (const std::size_t i : {0u, 1u, 3u, 4u}) {
    EXPECT_EQ(Element::AttrText(*values[i]), room.Attr(kNames[i])) << kNames[i];
    EXPECT_TRUE(Element::AttrIs(*values[i], room.Attr(kNames[i]))) << kNames[i];
  }
  EXPECT_EQ(Element::AttrText("\xC2\xA0Y"), "\xA0Y");
  EXPECT_TRUE(Element::AttrIs(" A1 ", "A1"));
  EXPECT_FALSE(Element::AttrIs("A1", "A1 "));
  EXPECT_FALSE(Element::AttrIs("\xC2\xA0Y", "Y"));
}

TEST(Attributes, SeveralReadInOneWalkAsEachAlone) {
  const Document document = Document::Parse(
      "<centro>\n<aulas>\n<aula codigo=' A1 ' nombre='Aula&#160;1' c='x' cod='y' vacio=''/>\n"
      "</aulas>\n</centro>");
  const Element room = document.Select(kRooms)[0];
  // Names that begin or end like others, in an order that is not the element's.
  const std::vector<std::string_view> names{"vacio", "otro", "nombre", "cod", "codigo", "c", "co"};
  std::vector<std::optional<std::string>> values(names.size(), std::string("antes"));
  room.TryAttrs(names, values);
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(values[i], room.TryAttr(names[i])) << names[i];
  }
  EXPECT_EQ(values[4], std::optional<std::string>("A1"));
  EXPECT_EQ(values[2], std::optional<std::string>("Aula\xA0" "1"));
  EXPECT_EQ(values[1], std::nullopt);  // what an earlier element left is not kept
}

TEST(Attributes, EntitiesAndCharactersOutsideTheCodePage) {
  const Document document =
      Document::Parse("<centro a='&lt;&amp;&gt;&quot;&apos;' b='Łódź' c='&#x20AC;'/>");
  EXPECT_EQ(document.Root().Attr("a"), "<&>\"'");
  EXPECT_EQ(document.Root().Attr("b"), "?\xF3" "d?");
  EXPECT_EQ(document.Root().Attr("c"), "\x80");
}

TEST(Attributes, AMissingAttributeNamesCollectionPositionLineAndFile) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n"                                   // 1
      "<centro>\n"                                                   // 2
      "  <docentes>\n"                                               // 3
      "    <docente documento=\"1\"\n"                               // 4
      "             nombre=\"A\"/>\n"                                // 5
      "\n"                                                           // 6
      "    <docente documento=\"2\"\n"                               // 7
      "\n"                                                           // 8
      "\n"                                                           // 9
      "             nombre=\"B\"/>\n"                                // 10
      "    <!-- the third one lacks its key -->\n"                   // 11
      "    <docente nombre=\"C\"/>\n"                                // 12
      "  </docentes>\n"
      "</centro>\n";
  const Document document = Document::Parse(xml, "prueba.xml");
  const ElementList teachers = document.Select(kTeachers);
  EXPECT_EQ(teachers[2].Line(), 12);
  EXPECT_EQ(ErrorOf([&] { teachers[2].Attr("documento"); }),
            W("Falta el atributo \"documento\" en /centro/docentes/docente "
              "(elemento 3, línea 12) de prueba.xml"));
  EXPECT_EQ(ErrorOf([&] { document.Root().Attr("version"); }),
            W("Falta el atributo \"version\" en /centro (elemento 1, línea 2) de prueba.xml"));
}

TEST(Attributes, LinesCountEveryKindOfLineEnd) {
  const Document document =
      Document::Parse("<centro>\r\n<aulas>\r<aula/>\n\n<aula/>\r\n\r\n<aula/></aulas></centro>");
  const ElementList rooms = document.Select(kRooms);
  EXPECT_EQ(rooms[0].Line(), 3);
  EXPECT_EQ(rooms[1].Line(), 5);
  EXPECT_EQ(rooms[2].Line(), 7);
}

// ---------------------------------------------------------------------------------------------
// Documents we refuse

TEST(Refused, NotWellFormedGivesTheReasonAndTheLine) {
  EXPECT_EQ(ErrorOf([] {
              Document::Parse("<centro>\n<docentes>\n<docente a='1'>\n</docentes>\n</centro>",
                              "mal.xml");
            }),
            W("El documento ITACA mal.xml no es un XML bien formado (línea 4, columna 1): la "
              "etiqueta de cierre </docentes> no corresponde a la de apertura <docente> de la "
              "línea 3."));
  EXPECT_EQ(ErrorOf([] { Document::Parse("<centro>\n<aula a=1/>\n</centro>", "mal.xml"); }),
            W("El documento ITACA mal.xml no es un XML bien formado (línea 2, columna 9): el "
              "valor del atributo \"a\" no está entre comillas."));
  EXPECT_EQ(ErrorOf([] { Document::Parse("", "vacio.xml"); }),
            W("El documento ITACA vacio.xml no es un XML bien formado (línea 1, columna 1): no "
              "contiene ningún elemento."));
  EXPECT_EQ(ErrorOf([] { Document::Parse("<centro/>\n<centro/>", "dos.xml"); }),
            W("El documento ITACA dos.xml no es un XML bien formado (línea 2, columna 1): hay "
              "más de un elemento raíz."));
}

TEST(Refused, EveryTruncationOfADocumentIsAnError) {
  const std::string xml = "<centro><aulas><aula codigo=\"A\"/></aulas></centro>";
  for (std::size_t length = 0; length < xml.size(); ++length) {
    EXPECT_NE(ErrorOf([&] { Document::Parse(xml.substr(0, length)); }), "") << length;
  }
}

TEST(Refused, ARootOtherThanCentroIsNamed) {
  EXPECT_EQ(ErrorOf([] { Document::Parse("<?xml version='1.0'?>\n<alumnos/>", "otro.xml"); }),
            W("El archivo otro.xml no es un documento ITACA: su elemento raíz es \"alumnos\" en "
              "lugar de \"centro\"."));
}

TEST(Load, ReadsTheWholeFileAndNamesIt) {
  test::TempDir dir;
  const auto file = dir / "centro.xml";
  test::WriteFile(file, Utf16Bytes(School(u"UTF-16"), false));
  const Document document = Document::Load(file);
  EXPECT_EQ(document.Source(), file.string());
  EXPECT_EQ(document.Select(kTeachers)[1].Attr("nombre"), W("José"));
  const auto missing = dir / "no_existe.xml";
  EXPECT_EQ(ErrorOf([&] { Document::Load(missing); }),
            "No se puede leer el documento ITACA " + missing.string() + ": no existe.");
  try {
    Document::Load(missing);
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::InputMissing);
  }
}

TEST(Load, ALongFileKeepsItsLinesAndTheDigestOfItsBytesInEveryEncoding) {
  // Over a megabyte, read as it lies (UTF-8) and converted first (ISO-8859-1).
  for (const bool utf8 : {true, false}) {
    SCOPED_TRACE(utf8 ? "UTF-8" : "ISO-8859-1");
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") +
                      (utf8 ? "UTF-8" : "ISO-8859-1") + "\"?>\n<centro>\n<aulas>\n";
    for (int i = 0; i < 30000; ++i) {
      xml += "<aula codigo=\"" + std::to_string(i) + "\" nombre=\"Aula de m" +
             (utf8 ? "\xC3\xBA" : "\xFA") + "sica\"/>\n";
    }
    xml += "</aulas>\n</centro>\n";
    const Document document = Document::Parse(xml, "largo.xml");
    EXPECT_EQ(document.Digest(), ContentDigest(xml));
    // Taken when asked, the same; once the content is replaced, no longer to be had.
    EXPECT_EQ(Document::Parse(xml, "largo.xml", {}, DigestTaken::WhenAsked).Digest(),
              ContentDigest(xml));
    Document replaced = Document::Parse(xml, "largo.xml", {}, DigestTaken::WhenAsked);
    replaced.ReplaceRoot("centro");
    if (utf8) {
      try {
        replaced.Digest();
        ADD_FAILURE() << "a digest of a text no longer held";
      } catch (const Error& error) {
        EXPECT_EQ(error.kind(), ErrorKind::Internal);
      }
    } else {
      EXPECT_EQ(replaced.Digest(), ContentDigest(xml));  // taken before its bytes went
    }
    const ElementList rooms = document.Select(kRooms);
    ASSERT_EQ(rooms.Count(), 30000u);
    EXPECT_EQ(rooms[29999].Line(), 30003);
    EXPECT_EQ(rooms[29999].Attr("nombre"), "Aula de m\xFAsica");
    EXPECT_EQ(ErrorOf([&] { Document::Parse(xml + "<aula/>", "largo.xml"); }),
              W("El documento ITACA largo.xml no es un XML bien formado (línea 30006, columna "
                "1): hay más de un elemento raíz."));
  }
}

// ---------------------------------------------------------------------------------------------
// Gleanings

TEST(Gleaning, HandsOverTheValuesAsTheTreeGivesThemAndLeavesTheElementsOut) {
  const std::string text =
      "<centro>\n<horarios_grupo>\n"
      "<horario_grupo grupo='1A' contenido='M&amp;T'/>\n"
      "<horario_grupo contenido='Matem&#224;tiques' aula='A\t1\r\n2' grupo=' 1B'>\n"
      "<nada/></horario_grupo>\n"
      "</horarios_grupo>\n<docentes>\n<docente documento='T1'/>\n</docentes>\n</centro>";
  constexpr std::string_view kNames[] = {"grupo", "contenido", "aula", "docente"};
  auto line_of = [](std::span<const std::optional<std::string_view>> values) {
    std::string line;
    for (const auto& value : values) line += value ? "[" + std::string(*value) + "]" : "-";
    return line;
  };
  std::vector<std::string> taken;
  const Gleaning gleanings[] = {{kGroupTimetables,
                                 {kNames, kNames + 4},
                                 [&](std::span<const std::optional<std::string_view>> values) {
                                   taken.push_back(line_of(values));
                                 }}};
  const Document gleaned = Document::Parse(text, "documento", gleanings);
  EXPECT_EQ(taken, (std::vector<std::string>{"[1A][M&T]--", "[ 1B][Matem\xC3\xA0tiques][A 1 2]-"}));
  // As the tree of the same text gives them.
  const Document tree = Document::Parse(text);
  for (std::size_t i = 0; i < taken.size(); ++i) {
    std::optional<std::string_view> values[4];
    tree.Select(kGroupTimetables)[i].RawAttrs(kNames, values);
    EXPECT_EQ(line_of(values), taken[i]);
  }
  EXPECT_TRUE(gleaned.Select(kGroupTimetables).Empty());
  EXPECT_EQ(gleaned.Select("/centro/horarios_grupo").Count(), 1u);
  // A name asked for twice has its value at its first place, after a name asked between.
  constexpr std::string_view kTwice[] = {"grupo", "contenido", "grupo"};
  std::vector<std::string> twice;
  const Gleaning twice_gleaning[] = {{kGroupTimetables,
                                      {kTwice, kTwice + 3},
                                      [&](std::span<const std::optional<std::string_view>> values) {
                                        twice.push_back(line_of(values));
                                      }}};
  Document::Parse(text, "documento", twice_gleaning);
  EXPECT_EQ(twice, (std::vector<std::string>{"[1A][M&T]-", "[ 1B][Matem\xC3\xA0tiques]-"}));
  // A fault in them, or after them, is refused as it is without a gleaning.
  for (const std::string bad : {"<centro><horarios_grupo><horario_grupo grupo='1' grupo='2'/>"
                                "</horarios_grupo></centro>",
                                "<centro><horarios_grupo><horario_grupo/></horarios_grupo>"
                                "<docentes></centro>"}) {
    const std::string refused = ErrorOf([&] { Document::Parse(bad); });
    EXPECT_NE(refused, "");
    EXPECT_EQ(ErrorOf([&] { Document::Parse(bad, "documento", gleanings); }), refused);
  }
  // The elements after them keep their lines.
  EXPECT_EQ(gleaned.Select(kTeachers)[0].Line(), 9);
  EXPECT_EQ(tree.Select(kTeachers)[0].Line(), 9);
}

TEST(Gleaning, ALongDocumentHandsOverEveryElementInOrderAndRefusesAsWithout) {
  // Over a megabyte: the second half's timetables are read beside the check, whatever lies
  // among them (a comment that looks like them, children, text, a namespace prefix).
  constexpr std::string_view kNames[] = {"grupo", "contenido", "docente"};
  auto school = [](const std::string& among) {
    std::string xml = "<centro xmlns:x='urn:x'>\n<horarios_grupo>\n";
    for (int i = 0; i < 12000; ++i) {
      if (i == 9000) xml += among;
      // Some values are not their text as written.
      xml += "<horario_grupo plantilla='PM' grupo='G" + std::to_string(i % 40) + "' contenido='C" +
             std::to_string(i) + (i % 1000 == 7 ? "&amp;\t1" : "") + "' docente='D" +
             std::to_string(i % 120) + "' dia_semana='L' sesion_orden='3'/>\n";
    }
    return xml + "</horarios_grupo>\n<docentes>\n<docente documento='T1'/>\n</docentes>\n</centro>";
  };
  for (const std::string among :
       {"", "<!-- <horario_grupo grupo='no'/> -->\n",
        "<horario_grupo grupo='a'><b>c</b></horario_grupo>", "texto &amp; <?pi x?>",
        "<horario_grupo x:grupo='b' grupo='c'/>", "<otro><horario_grupo grupo='d'/></otro>"}) {
    SCOPED_TRACE(among);
    const std::string xml = school(among);
    std::vector<std::string> taken;
    const Gleaning gleanings[] = {{kGroupTimetables,
                                   {kNames, kNames + 3},
                                   [&](std::span<const std::optional<std::string_view>> values) {
                                     std::string line;
                                     for (const auto& value : values) line += value.value_or("-");
                                     taken.push_back(line + ";");
                                   }}};
    const Document gleaned = Document::Parse(xml, "largo.xml", gleanings);
    const Document tree = Document::Parse(xml, "largo.xml");
    std::vector<std::string> read;
    for (const Element& lesson : tree.Select(kGroupTimetables)) {
      std::optional<std::string_view> values[3];
      lesson.RawAttrs(kNames, values);
      std::string line;
      for (const auto& value : values) line += value.value_or("-");
      read.push_back(line + ";");
    }
    ASSERT_EQ(taken.size(), read.size());
    EXPECT_EQ(taken, read);
    EXPECT_EQ(gleaned.Select(kTeachers)[0].Line(), tree.Select(kTeachers)[0].Line());
    // Read into the tree, every element as pugixml reads it: its place, values and line.
    pugi::xml_document theirs;
    ASSERT_TRUE(theirs.load_buffer(xml.data(), xml.size()));
    std::map<std::string, std::vector<pugi::xml_node>> by_path;
    test::ElementsByPath(theirs, "", by_path);
    for (const auto& [path, nodes] : by_path) {
      const ElementList ours = tree.Select(path);
      ASSERT_EQ(ours.Count(), nodes.size()) << path;
      int line = 1;
      std::ptrdiff_t at = 0;
      for (std::size_t i = 0; i < nodes.size(); ++i) {
        line += test::LineOf(std::string_view(xml).substr(at), nodes[i].offset_debug() - at) - 1;
        at = nodes[i].offset_debug();
        EXPECT_EQ(ours[i].Line(), line) << path << " " << i;
        for (pugi::xml_attribute a = nodes[i].first_attribute(); a; a = a.next_attribute()) {
          const std::string_view name = a.name();
          std::optional<std::string_view> value;
          ours[i].RawAttrs(std::span(&name, 1), std::span(&value, 1));
          EXPECT_EQ(value, std::string_view(a.value())) << path << " " << i << " " << name;
        }
      }
    }
  }
  // A fault among them is found at its place, with or without a gleaning.
  const std::string kRefused = "El documento ITACA largo.xml no es un XML bien formado (línea ";
  for (const auto& [bad, refused] : std::initializer_list<std::pair<std::string, std::string>>{
           {"<horario_grupo grupo='1' grupo='2'/>",
            "9003, columna 26): el atributo \"grupo\" está repetido en el elemento "
            "<horario_grupo>."},
           {"<horario_grupo y:grupo='1'/>",
            "9003, columna 16): el atributo \"y:grupo\" de la etiqueta <horario_grupo> lleva el "
            "prefijo \"y\", que no está declarado (falta xmlns:y en ese elemento o en uno que lo "
            "contenga)."},
           {"<horario_grupo grupo='&nada;'/>",
            "9003, columna 23): la entidad \"&nada;\" no está definida (solo se admiten &lt;, "
            "&gt;, &amp;, &quot; y &apos;)."},
           {"<horario_grupo grupo='1'>",
            "12003, columna 1): la etiqueta de cierre </horarios_grupo> no corresponde a la de "
            "apertura <horario_grupo> de la línea 9003."},
           {"</horarios_grupo>",
            "12003, columna 1): la etiqueta de cierre </horarios_grupo> no corresponde a la de "
            "apertura <centro> de la línea 1."}}) {
    SCOPED_TRACE(bad);
    const std::string xml = school(bad);
    EXPECT_EQ(ErrorOf([&] { Document::Parse(xml, "largo.xml"); }), W(kRefused + refused));
    const Gleaning gleanings[] = {{kGroupTimetables, {kNames, kNames + 3}, [](auto) {}}};
    EXPECT_EQ(ErrorOf([&] { Document::Parse(xml, "largo.xml", gleanings); }),
              W(kRefused + refused));
  }
}

}  // namespace
}  // namespace tc::itaca
