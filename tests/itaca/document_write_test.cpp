// Writing the export document: what is kept of the input, attribute order, the encoding the
// declaration names, characters that encoding cannot hold, and the file on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "base/error.h"
#include "itaca/document.h"
#include "support/process.h"
#include "support/test_support.h"

namespace tc::itaca {
namespace {

using test::W;

constexpr std::string_view kPrologue =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<!-- exportado por ITACA -->\n"
    "<?procesador version=\"2\"?>\n";

std::string Input(std::string_view prologue) {
  return std::string(prologue) +
         "<centro codigo=\"46000001\" denominacion=\"IES L'Om&#233;s\" version=\"3\">\n"
         "  <docentes><docente documento=\"1\"/><docente documento=\"2\"/></docentes>\n"
         "</centro>\n";
}

// Builds the shape of an export on `document`: new root, the two collections, one entry each.
void WriteExport(Document& document, std::string_view value) {
  Element root = document.ReplaceRoot("centro");
  root.SetAttr("codigo", "46000001");
  root.SetAttr("denominacion", value);
  root.SetAttr("curso", "2024");
  Element lessons = root.AppendChild("horarios_grupo");
  Element lesson = lessons.AppendChild("horario_grupo");
  for (const char* name : {"plantilla", "dia_semana", "sesion_orden", "docente", "aula"}) {
    lesson.AddAttr(name, name);  // a new element's, as the export adds them
  }
  root.AppendChild("horarios_ocupaciones");
}

// `text` (ASCII) as UTF-16 big-endian with its byte-order mark.
std::string Utf16Be(std::string_view text) {
  std::string bytes = "\xFE\xFF";
  for (char c : text) {
    bytes += '\0';
    bytes += c;
  }
  return bytes;
}

// xmllint, an independent reader of what we write, when it is installed.
const std::optional<std::filesystem::path>& XmllintProgram() {
  static const std::optional<std::filesystem::path> found = test::FindProgram("xmllint");
  return found;
}

bool HaveXmllint() { return XmllintProgram().has_value(); }

// xmllint's exit status for a file: 0 when it is well-formed XML.
int Xmllint(const std::filesystem::path& file) {
  const std::filesystem::path& xmllint = *XmllintProgram();
  return test::RunProgram(xmllint, {{"--noout", test::PathArgument(xmllint, file)}, {}, {}})
      .status;
}

TEST(Write, KeepsTheTopLevelNodesAndReplacesTheRootWithEverythingInIt) {
  Document document = Document::Parse(Input(kPrologue));
  WriteExport(document, "IES");
  const std::string text = document.Serialize();
  EXPECT_EQ(text.substr(0, text.find("<centro")),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
            "<!-- exportado por ITACA -->\r\n"
            "<?procesador version=\"2\"?>\r\n");
  EXPECT_EQ(text.find("docente documento"), std::string::npos);
  EXPECT_EQ(text.find("version=\"3\""), std::string::npos);

  const Document back = Document::Parse(text);
  EXPECT_TRUE(back.Select(kTeachers).Empty());
  EXPECT_EQ(back.Select("/centro/horarios_grupo").Count(), 1u);
  EXPECT_EQ(back.Select("/centro/horarios_ocupaciones").Count(), 1u);
  EXPECT_EQ(back.Select(kGroupTimetables).Count(), 1u);
  EXPECT_TRUE(back.Select(kDutyTimetables).Empty());
}

TEST(Write, AttributesKeepTheOrderTheyWereSetIn) {
  Document document = Document::Parse(Input(""));
  WriteExport(document, "IES");
  document.Root().SetAttr("codigo", "46000002");  // setting again keeps the place
  const std::string text = document.Serialize();
  EXPECT_NE(text.find("<centro codigo=\"46000002\" denominacion=\"IES\" curso=\"2024\">"),
            std::string::npos);
  EXPECT_NE(text.find("<horario_grupo plantilla=\"plantilla\" dia_semana=\"dia_semana\" "
                      "sesion_orden=\"sesion_orden\" docente=\"docente\" aula=\"aula\"/>"),
            std::string::npos);
  EXPECT_NE(text.find("<horarios_ocupaciones/>"), std::string::npos);
}

TEST(Write, AWrittenElementReadsWhatWasSetAndASecondRootReplacesTheFirst) {
  Document document = Document::Parse(Input(kPrologue));
  WriteExport(document, "IES L'Om\xE9s");
  const Element root = document.Root();
  EXPECT_EQ(root.Name(), "centro");
  EXPECT_EQ(root.Attr("denominacion"), "IES L'Om\xE9s");
  EXPECT_FALSE(root.TryAttr("version"));
  document.ReplaceRoot("centro").AddAttr("codigo", "46000003");
  const std::string text = document.Serialize();
  EXPECT_NE(text.find("<?procesador version=\"2\"?>\r\n<centro codigo=\"46000003\"/>\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("horarios_grupo"), std::string::npos);
}

TEST(Write, ElementsAreWrittenAsSetWhateverTheOrderOfTheirNamesAndSettings) {
  Document document = Document::Parse(Input(""));
  Element root = document.ReplaceRoot("centro");
  Element first = root.AppendChild("a");
  first.AddAttr("x", "1");
  first.AddAttr("y", "2");
  Element second = root.AppendChild("b");
  second.AddAttr("y", "3");
  second.AddAttr("x", "4");
  second.SetAttr("y", "5");
  second.AppendChild("a").AddAttr("z", "6");
  first.SetAttr("w", "\xE9");  // an element's attributes still grow after its siblings came
  EXPECT_EQ(document.Serialize(),
            "<centro>\r\n\t<a x=\"1\" y=\"2\" w=\"\xC3\xA9\"/>\r\n\t<b y=\"5\" x=\"4\">\r\n"
            "\t\t<a z=\"6\"/>\r\n\t</b>\r\n</centro>\r\n");
}

TEST(Write, WithoutADeclarationTheFileIsUtf8AndGetsNone) {
  Document document = Document::Parse(Input(""));
  WriteExport(document, W("Jos\xC3\xA9 \xE2\x82\xAC"));  // José €
  const std::string text = document.Serialize();
  EXPECT_EQ(text.rfind("<centro ", 0), 0u);
  EXPECT_NE(text.find("denominacion=\"Jos\xC3\xA9 \xE2\x82\xAC\""), std::string::npos);
}

TEST(Write, MarkupCharactersAndWhiteSpaceSurviveTheRoundTrip) {
  const std::string value = "a&b<c>\"d'e\tf\ng\rh  i";
  Document document = Document::Parse(Input(""));
  WriteExport(document, value);
  const Document back = Document::Parse(document.Serialize());
  EXPECT_EQ(back.Root().Attr("denominacion"), value);
}

TEST(Write, EachEncodingWritesWhatItHoldsAndReferencesTheRest) {
  // Values are Windows-1252: € (0x80), Š (0x8A), ¤ (0xA4), é (0xE9).
  const std::string value = "\x80\x8A\xA4\xE9";
  struct Case {
    const char* declaration;
    std::string expected;  // the attribute as it appears in the file
  };
  const Case cases[] = {
      {"ISO-8859-1", "&#8364;&#352;\xA4\xE9"},
      {"iso-8859-15", "\xA4\xA6&#164;\xE9"},
      {"windows-1252", "\x80\x8A\xA4\xE9"},
      {"US-ASCII", "&#8364;&#352;&#164;&#233;"},
      {"UTF-8", "\xE2\x82\xAC\xC5\xA0\xC2\xA4\xC3\xA9"},
  };
  const bool xmllint = HaveXmllint();
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    Document document = Document::Parse(
        Input(std::string("<?xml version=\"1.0\" encoding=\"") + c.declaration + "\"?>\n"));
    WriteExport(document, value);
    const std::string text = document.Serialize();
    EXPECT_NE(text.find("denominacion=\"" + c.expected + "\""), std::string::npos) << text;
    EXPECT_EQ(Document::Parse(text).Root().Attr("denominacion"), value);
    if (xmllint) {
      const auto file = dir / (std::string(c.declaration) + ".xml");
      document.Save(file);
      EXPECT_EQ(Xmllint(file), 0);
    }
  }
}

TEST(Write, Utf16KeepsItsByteOrderAndMark) {
  Document document = Document::Parse(Utf16Be(Input(
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n")));
  WriteExport(document, "\x80");
  const std::string text = document.Serialize();
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(0, 4), std::string("\xFE\xFF\0<", 4));
  EXPECT_EQ(Document::Parse(text).Root().Attr("denominacion"), "\x80");
  if (!HaveXmllint()) return;
  test::TempDir dir;
  document.Save(dir / "utf16.xml");
  EXPECT_EQ(Xmllint(dir / "utf16.xml"), 0);
}

TEST(Save, WritesAFileThatXmllintAcceptsAndThatReadsBack) {
  test::TempDir dir;
  const auto input = dir / "centro.xml";
  const std::string original = Input(kPrologue);
  test::WriteFile(input, original);
  Document document = Document::Load(input);
  WriteExport(document, W("Lleng\xC3\xBC" "es \xE2\x82\xAC \xC2\xB7"));  // Llengües € ·

  const auto output = dir / "ResultadoClepsacentro.xml";
  test::WriteFile(output, "an older export, replaced");
  document.Save(output);
  EXPECT_EQ(test::ReadFile(input), original);
  EXPECT_EQ(test::ReadFile(output), document.Serialize());
  EXPECT_EQ(Document::Load(output).Root().Attr("denominacion"),
            W("Lleng\xC3\xBC" "es \xE2\x82\xAC \xC2\xB7"));
  EXPECT_NE(test::ReadFile(output).find("&#8364;"), std::string::npos);

  if (!HaveXmllint()) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_EQ(Xmllint(output), 0);
  // And xmllint does refuse what is not XML, so the check above means something.
  const auto broken = dir / "roto.xml";
  test::WriteFile(broken, "<centro><a></centro>");
  EXPECT_NE(Xmllint(broken), 0);
}

TEST(Save, NeverOverTheFileItWasLoadedFrom) {
  test::TempDir dir;
  const auto input = dir / "centro.xml";
  test::WriteFile(input, Input(""));
  Document document = Document::Load(input);
  WriteExport(document, "x");
  EXPECT_THROW(document.Save(input), DocumentError);
  EXPECT_EQ(test::ReadFile(input), Input(""));
}

}  // namespace
}  // namespace tc::itaca
