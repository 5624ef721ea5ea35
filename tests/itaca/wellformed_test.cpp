// Documents that are not well-formed XML are refused with the place of the first fault and what
// is wrong there; well-formed ones, however unusual, still load.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/codepage.h"
#include "base/error.h"
#include "itaca/document.h"
#include "support/test_support.h"

namespace tc::itaca {
namespace {

using test::W;

// The message with which loading `xml` (as "c.xml") is refused, or "" when it loads.
std::string Refusal(std::string_view xml) {
  try {
    Document::Parse(xml, "c.xml");
  } catch (const DocumentError& error) {
    return error.what();
  }
  return "";
}

// The message for a fault of c.xml at line:column; `reason` in UTF-8.
std::string Fault(int line, int column, std::string_view reason) {
  return W("El documento ITACA c.xml no es un XML bien formado (línea " + std::to_string(line) +
           ", columna " + std::to_string(column) + "): " + std::string(reason) + ".");
}

// UTF-16 little-endian bytes with their mark, from UTF-16 code units.
std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// ---------------------------------------------------------------------------------------------
// Attributes

TEST(WellFormedness, RepeatedAttributesAreNamedWithTheirElement) {
  EXPECT_EQ(Refusal("<centro>\n"
                    "  <aulas>\n"
                    "    <aula codigo=\"A1\" nombre=\"x\" codigo=\"A2\"/>\n"
                    "  </aulas>\n"
                    "</centro>"),
            Fault(3, 34, "el atributo \"codigo\" está repetido en el elemento <aula>"));
  // Past a handful of attributes the check changes method; the answer must not.
  std::string many = "<centro";
  for (int i = 0; i < 40; ++i) many += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
  EXPECT_EQ(Refusal(many + "/>"), "");
  EXPECT_EQ(Refusal(many + " a33='x'/>"),
            Fault(1, static_cast<int>(many.size()) + 2,
                  "el atributo \"a33\" está repetido en el elemento <centro>"));
  EXPECT_EQ(Refusal("<centro><a x='1'/><a x='1'/></centro>"), "");  // per element, not per name
  // Names alike in length and last letter are still told apart, and still found again.
  EXPECT_EQ(Refusal("<centro ab='1' cb='2' db='3'/>"), "");
  EXPECT_EQ(Refusal("<centro ab='1' cb='2' ab='3'/>"),
            Fault(1, 23, "el atributo \"ab\" está repetido en el elemento <centro>"));
}

TEST(WellFormedness, AttributesNeedASpaceAnEqualsSignAndQuotes) {
  EXPECT_EQ(Refusal("<centro a=\"1\"b=\"2\"/>"),
            Fault(1, 14, "falta un espacio antes del atributo \"b\" en la etiqueta <centro>"));
  EXPECT_EQ(Refusal("<centro a/>"),
            Fault(1, 10, "falta \"=\" tras el atributo \"a\" en la etiqueta <centro>"));
  EXPECT_EQ(Refusal("<centro a=1/>"),
            Fault(1, 11, "el valor del atributo \"a\" no está entre comillas"));
  EXPECT_EQ(Refusal("<centro a=\"x<y\"/>"),
            Fault(1, 13, "el valor del atributo \"a\" contiene \"<\" (se escribe &lt;)"));
  EXPECT_EQ(Refusal("<centro a=\"x/>"),
            Fault(1, 11, "el valor del atributo \"a\" no se cierra (falta la comilla final)"));
  EXPECT_EQ(Refusal("<centro =x/>"),
            Fault(1, 9,
                  "la etiqueta <centro> contiene \"=\" donde se esperaba un atributo o el final "
                  "de la etiqueta"));
  EXPECT_EQ(Refusal("<centro a='1' / >"),
            Fault(1, 16, "en la etiqueta <centro> falta \">\" tras \"/\""));
  EXPECT_EQ(Refusal("<centro a='1'"),
            Fault(1, 1, "la etiqueta <centro> no se cierra (falta \">\")"));
}

// ---------------------------------------------------------------------------------------------
// References

TEST(WellFormedness, OnlyThePredefinedEntitiesExist) {
  const std::string undefined =
      "no está definida (solo se admiten &lt;, &gt;, &amp;, &quot; y &apos;)";
  EXPECT_EQ(Refusal("<centro>\n<docente nombre='Pep &nom;'/></centro>"),
            Fault(2, 22, "la entidad \"&nom;\" " + undefined));
  EXPECT_EQ(Refusal("<centro>&AMP;</centro>"), Fault(1, 9, "la entidad \"&AMP;\" " + undefined));
  EXPECT_EQ(Refusal("<centro>Tom & Jerry</centro>"),
            Fault(1, 13, "hay un \"&\" suelto (se escribe &amp;)"));
  EXPECT_EQ(Refusal("<centro a='&'/>"), Fault(1, 12, "hay un \"&\" suelto (se escribe &amp;)"));
  EXPECT_EQ(Refusal("<centro>&amp</centro>"),
            Fault(1, 9, "la referencia \"&amp\" no termina en \";\""));
}

TEST(WellFormedness, CharacterReferencesMustBeWellWrittenAndDesignateAllowedCharacters) {
  for (const char* reference : {"&#1;", "&#0;", "&#x1F;", "&#xD800;", "&#xDFFF;", "&#xFFFE;",
                                "&#65535;", "&#x110000;", "&#99999999999999999999;"}) {
    SCOPED_TRACE(reference);
    EXPECT_EQ(Refusal("<centro>" + std::string(reference) + "</centro>"),
              Fault(1, 9,
                    "la referencia de carácter \"" + std::string(reference) +
                        "\" designa un carácter no permitido en XML"));
  }
  const std::string malformed = "está mal formada (se escribe así: &#233; o &#xE9;)";
  EXPECT_EQ(Refusal("<centro>&#;</centro>"),
            Fault(1, 9, "la referencia de carácter \"&#;\" " + malformed));
  EXPECT_EQ(Refusal("<centro a='&#x;'/>"),
            Fault(1, 12, "la referencia de carácter \"&#x;\" " + malformed));
  EXPECT_EQ(Refusal("<centro>&#12a;</centro>"),
            Fault(1, 9, "la referencia de carácter \"&#12a;\" " + malformed));
  EXPECT_EQ(Refusal("<centro>&#X41;</centro>"),
            Fault(1, 9, "la referencia de carácter \"&#X41;\" " + malformed));
  EXPECT_EQ(Refusal("<centro>&#65 </centro>"),
            Fault(1, 9, "la referencia de carácter \"&#65\" " + malformed));
}

// ---------------------------------------------------------------------------------------------
// Characters

TEST(WellFormedness, ForbiddenCharactersAreNamedWhereverTheyAre) {
  const std::string control = "el carácter de control U+0001 no está permitido en XML";
  EXPECT_EQ(Refusal("<centro>\x01</centro>"), Fault(1, 9, control));
  EXPECT_EQ(Refusal("<centro a='\x01'/>"), Fault(1, 12, control));
  EXPECT_EQ(Refusal("<centro><!--\x01--></centro>"), Fault(1, 13, control));
  EXPECT_EQ(Refusal("<centro><?p \x01?></centro>"), Fault(1, 13, control));
  EXPECT_EQ(Refusal("<centro><![CDATA[\x01]]></centro>"), Fault(1, 18, control));
  EXPECT_EQ(Refusal("<centro/>\x01"), Fault(1, 10, control));
  EXPECT_EQ(Refusal(std::string("<centro>\0</centro>", 18)),
            Fault(1, 9, "el carácter de control U+0000 no está permitido en XML"));
  EXPECT_EQ(Refusal("<centro>\x1B</centro>"),
            Fault(1, 9, "el carácter de control U+001B no está permitido en XML"));
  EXPECT_EQ(Refusal("<centro>\xEF\xBF\xBE</centro>"),
            Fault(1, 9, "el carácter U+FFFE no está permitido en XML"));
  EXPECT_EQ(Refusal("<centro n='\xEF\xBF\xBF'/>"),
            Fault(1, 12, "el carácter U+FFFF no está permitido en XML"));
  // In a single-byte file the control comes through the code page unchanged.
  EXPECT_EQ(Refusal("<?xml version='1.0' encoding='ISO-8859-1'?>\n<centro n='\xE9\x0B'/>"),
            Fault(2, 13, "el carácter de control U+000B no está permitido en XML"));
}

TEST(WellFormedness, LoneUtf16SurrogatesAreRefusedWhereTheyLie) {
  EXPECT_EQ(Refusal(Utf16Le(u"<centro>\r\n<a n='\u00E9\xD83D'/></centro>")),
            Fault(2, 8, "hay medio carácter UTF-16 (el sustituto D83D sin su pareja)"));
  EXPECT_EQ(Refusal(Utf16Le(u"<centro>\xDC00</centro>")),
            Fault(1, 9, "hay medio carácter UTF-16 (el sustituto DC00 sin su pareja)"));
  EXPECT_EQ(Refusal(Utf16Le(u"<centro>\xDBFF")),
            Fault(1, 9, "hay medio carácter UTF-16 (el sustituto DBFF sin su pareja)"));
  // A pair is one character, of a column.
  EXPECT_EQ(Refusal(Utf16Le(u"<centro>\xD83D\xDE00&x;</centro>")),
            Fault(1, 10,
                  "la entidad \"&x;\" no está definida (solo se admiten &lt;, &gt;, &amp;, "
                  "&quot; y &apos;)"));
  EXPECT_EQ(Refusal(Utf16Le(u"<centro/>").substr(0, 7)),
            W("El documento ITACA c.xml no está escrito en UTF-16: tiene un número impar de "
              "bytes."));
}

// ---------------------------------------------------------------------------------------------
// Around the root element

TEST(WellFormedness, OnlyCommentsProcessingInstructionsAndSpaceAroundTheRoot) {
  EXPECT_EQ(Refusal("<centro/>\ntexto"), Fault(2, 1, "hay texto fuera del elemento raíz"));
  EXPECT_EQ(Refusal("texto<centro/>"), Fault(1, 1, "hay texto fuera del elemento raíz"));
  EXPECT_EQ(Refusal("<centro/><![CDATA[x]]>"), Fault(1, 10, "hay texto fuera del elemento raíz"));
  EXPECT_EQ(Refusal("<centro/>&amp;"), Fault(1, 10, "hay texto fuera del elemento raíz"));
  EXPECT_EQ(Refusal("<centro/>\r\n</centro>"),
            Fault(2, 1, "hay una etiqueta de cierre sin su etiqueta de apertura"));
  EXPECT_EQ(Refusal("<centro/><centro/>"), Fault(1, 10, "hay más de un elemento raíz"));
  EXPECT_EQ(Refusal("<centro/>< x"),
            Fault(1, 10,
                  "hay un \"<\" que no abre ninguna etiqueta (en el texto se escribe &lt;)"));
  EXPECT_EQ(Refusal("<!-- solo un comentario -->\n"),
            Fault(2, 1, "no contiene ningún elemento"));
  EXPECT_EQ(Refusal(" \t\r\n"), Fault(2, 1, "no contiene ningún elemento"));
  // One byte-order mark opens the file; a second one is a character before the root.
  EXPECT_EQ(Refusal("\xEF\xBB\xBF\xEF\xBB\xBF<centro/>"),
            Fault(1, 1, "hay texto fuera del elemento raíz"));
  EXPECT_EQ(Refusal(Utf16Le(u"\xFEFF<centro/>")),
            Fault(1, 1, "hay texto fuera del elemento raíz"));
}

TEST(WellFormedness, TheXmlDeclarationOnlyOpensTheDocument) {
  const std::string only_first = "la declaración XML solo puede ir al principio del documento";
  EXPECT_EQ(Refusal(" <?xml version='1.0'?><centro/>"), Fault(1, 2, only_first));
  EXPECT_EQ(Refusal("<!-- c --><?xml version='1.0'?><centro/>"), Fault(1, 11, only_first));
  EXPECT_EQ(Refusal("<centro><?xml version='1.0'?></centro>"), Fault(1, 9, only_first));
  EXPECT_EQ(Refusal("<?xml version='1.0'?><centro/>\n<?xml version='1.0'?>"),
            Fault(2, 1, only_first));
  EXPECT_EQ(Refusal("<?XML version='1.0'?><centro/>"),
            Fault(1, 1,
                  "el nombre \"XML\" está reservado y no puede nombrar una instrucción de "
                  "proceso"));
  EXPECT_EQ(Refusal("<centro><?xMl datos?></centro>"),
            Fault(1, 9,
                  "el nombre \"xMl\" está reservado y no puede nombrar una instrucción de "
                  "proceso"));
  // After a byte-order mark the declaration is still at the start, and the mark takes no column.
  EXPECT_EQ(Refusal("\xEF\xBB\xBF<?xml version='1.0'?><centro>&x;</centro>"),
            Fault(1, 30,
                  "la entidad \"&x;\" no está definida (solo se admiten &lt;, &gt;, &amp;, "
                  "&quot; y &apos;)"));
}

TEST(WellFormedness, AMalformedDeclarationSaysWhatIsWrong) {
  const std::string no_version =
      "la declaración XML no empieza por la versión (version=\"1.0\")";
  EXPECT_EQ(Refusal("<?xml?><centro/>"), Fault(1, 6, no_version));
  EXPECT_EQ(Refusal("<?xml encoding='UTF-8' version='1.0'?><centro/>"), Fault(1, 7, no_version));
  EXPECT_EQ(Refusal("<?xml version='2.0'?><centro/>"),
            Fault(1, 16,
                  "la versión \"2.0\" de la declaración XML no es válida (se espera \"1.0\")"));
  EXPECT_EQ(Refusal("<?xml version='1.'?><centro/>"),
            Fault(1, 16,
                  "la versión \"1.\" de la declaración XML no es válida (se espera \"1.0\")"));
  EXPECT_EQ(Refusal("<?xml version='1.0' standalone='si'?><centro/>"),
            Fault(1, 33,
                  "standalone vale \"si\" en la declaración XML, y solo puede valer \"yes\" o "
                  "\"no\""));
  const std::string order =
      "la declaración XML está mal formada: solo puede llevar version, encoding y standalone, "
      "en ese orden y separados por espacios";
  EXPECT_EQ(Refusal("<?xml version='1.0' standalone='yes' encoding='UTF-8'?><centro/>"),
            Fault(1, 38, order));
  EXPECT_EQ(Refusal("<?xml version='1.0'encoding='UTF-8'?><centro/>"), Fault(1, 20, order));
  EXPECT_EQ(Refusal("<?xml version='1.0' autor='yo'?><centro/>"), Fault(1, 21, order));
  EXPECT_EQ(Refusal("<?xml version=1.0?><centro/>"),
            Fault(1, 15,
                  "la declaración XML está mal formada: el valor de version no está entre "
                  "comillas"));
  EXPECT_EQ(Refusal("<?xml version='1.0?><centro/>"),
            Fault(1, 19,
                  "la declaración XML está mal formada: el valor de version no se cierra (falta "
                  "la comilla final)"));
  EXPECT_EQ(Refusal("<?xml version:'1.0'?><centro/>"),
            Fault(1, 14, "la declaración XML está mal formada: falta \"=\" tras version"));
  EXPECT_EQ(Refusal("<?xml version='1.0' "),
            Fault(1, 1, "la declaración XML no se cierra (falta \"?>\")"));
}

TEST(WellFormedness, ADocumentTypeDeclarationIsRefusedWhateverItDeclares) {
  const std::string refused = W(
      "El documento ITACA c.xml tiene una declaración de tipo de documento (<!DOCTYPE>) en la "
      "línea 2, columna 1: ITACA no las escribe y no se admiten.");
  // An internal entity would otherwise reach the tables as the literal "&nom;".
  EXPECT_EQ(Refusal("<?xml version='1.0'?>\n<!DOCTYPE centro [<!ENTITY nom 'Pep'>]>\n"
                    "<centro><docente nombre='&nom;'/></centro>"),
            refused);
  // An external one is never fetched: the document is refused before anything is read.
  EXPECT_EQ(Refusal("<?xml version='1.0'?>\n<!DOCTYPE centro SYSTEM 'http://example.com/c.dtd'>"
                    "<centro/>"),
            refused);
  EXPECT_EQ(Refusal("<!-- c -->\n<!DOCTYPE centro><centro/>"), refused);
}

// ---------------------------------------------------------------------------------------------
// Comments, processing instructions, CDATA, text

TEST(WellFormedness, CommentsProcessingInstructionsAndCdataAreClosedProperly) {
  EXPECT_EQ(Refusal("<centro><!-- a -- b --></centro>"),
            Fault(1, 16,
                  "el comentario contiene \"--\", que solo puede ir en el \"-->\" que lo cierra"));
  EXPECT_EQ(Refusal("<centro><!-- a ---></centro>"),
            Fault(1, 16,
                  "el comentario contiene \"--\", que solo puede ir en el \"-->\" que lo cierra"));
  EXPECT_EQ(Refusal("<centro><!-- a"),
            Fault(1, 9, "el comentario no se cierra (falta \"-->\")"));
  EXPECT_EQ(Refusal("<centro><![CDATA[x</centro>"),
            Fault(1, 9, "la sección CDATA no se cierra (falta \"]]>\")"));
  EXPECT_EQ(Refusal("<centro><?p datos</centro>"),
            Fault(1, 9, "la instrucción de proceso \"p\" no se cierra (falta \"?>\")"));
  EXPECT_EQ(Refusal("<centro><?p?datos?></centro>"),
            Fault(1, 12,
                  "falta un espacio tras el nombre de la instrucción de proceso \"p\""));
  EXPECT_EQ(Refusal("<centro><? p?></centro>"),
            Fault(1, 11, "falta el nombre de la instrucción de proceso tras \"<?\""));
  EXPECT_EQ(Refusal("<centro><!ELEMENT centro ANY></centro>"),
            Fault(1, 9, "\"<!\" no abre un comentario (<!-- -->) ni una sección CDATA"));
  EXPECT_EQ(Refusal("<centro>a]]>b</centro>"),
            Fault(1, 10, "el texto contiene \"]]>\", que solo puede cerrar una sección CDATA"));
}

TEST(WellFormedness, TagsAndNames) {
  const std::string bare_less =
      "hay un \"<\" que no abre ninguna etiqueta (en el texto se escribe &lt;)";
  EXPECT_EQ(Refusal("<centro><1aula/></centro>"), Fault(1, 9, bare_less));
  EXPECT_EQ(Refusal("<centro>a < b</centro>"), Fault(1, 11, bare_less));
  EXPECT_EQ(Refusal("<centro><\xC2\xB7" "aula/></centro>"), Fault(1, 9, bare_less));
  EXPECT_EQ(Refusal("< centro/>"), Fault(1, 1, bare_less));
  EXPECT_EQ(Refusal("<centro></ centro>"),
            Fault(1, 11, "\"</\" no va seguido del nombre de un elemento"));
  EXPECT_EQ(Refusal("<centro></centro x>"),
            Fault(1, 18,
                  "la etiqueta de cierre </centro> contiene \"x\" donde se esperaba \">\""));
  EXPECT_EQ(Refusal("<centro>\n<aula>\n</centro>"),
            Fault(3, 1,
                  "la etiqueta de cierre </centro> no corresponde a la de apertura <aula> de la "
                  "línea 2"));
  EXPECT_EQ(Refusal("<centro>\n  <aulas>"),
            Fault(2, 3, "el elemento <aulas> no se cierra (falta </aulas>)"));
  EXPECT_EQ(Refusal("<centro></centro"),
            Fault(1, 9, "la etiqueta de cierre </centro> no se cierra (falta \">\")"));
}

TEST(WellFormedness, NamespacePrefixesMustBeDeclared) {
  const auto undeclared = [](std::string_view what, std::string_view prefix) {
    return std::string(what) + " lleva el prefijo \"" + std::string(prefix) +
           "\", que no está declarado (falta xmlns:" + std::string(prefix) +
           " en ese elemento o en uno que lo contenga)";
  };
  EXPECT_EQ(Refusal("<centro>\n  <x:docentes/>\n</centro>"),
            Fault(2, 3, undeclared("el elemento <x:docentes>", "x")));
  EXPECT_EQ(Refusal("<centro><docente x:dni='1'/></centro>"),
            Fault(1, 18, undeclared("el atributo \"x:dni\" de la etiqueta <docente>", "x")));
  // A declaration reaches the element's content, not what follows it.
  EXPECT_EQ(Refusal("<centro><a xmlns:x='u'><x:b/></a><x:c/></centro>"),
            Fault(1, 34, undeclared("el elemento <x:c>", "x")));
  EXPECT_EQ(Refusal("<centro><a xmlns:x='u'/><x:c/></centro>"),
            Fault(1, 25, undeclared("el elemento <x:c>", "x")));
}

TEST(WellFormedness, ColumnsCountCharactersOfTheOriginalFile) {
  const std::string fault = "el atributo \"a\" está repetido en el elemento <centro>";
  // UTF-8: "àéí" are six bytes and three columns.
  EXPECT_EQ(Refusal("<centro n='\xC3\xA0\xC3\xA9\xC3\xAD' a='1' a='2'/>"), Fault(1, 23, fault));
  // Windows-1252 and UTF-16: the same place.
  EXPECT_EQ(Refusal("<?xml version='1.0' encoding='windows-1252'?>\r\n"
                    "<centro n='\xE0\xE9\xED' a='1' a='2'/>"),
            Fault(2, 23, fault));
  EXPECT_EQ(Refusal(Utf16Le(u"<?xml version='1.0' encoding='UTF-16'?>\n"
                            u"<centro n='\u00E0\u00E9\u00ED' a='1' a='2'/>")),
            Fault(2, 23, fault));
  // Every kind of line end; a tab is one column.
  EXPECT_EQ(Refusal("<centro>\r<a>\r\n\n\t<b x='1' x='2'/></a></centro>"),
            Fault(4, 11, "el atributo \"x\" está repetido en el elemento <b>"));
}

TEST(WellFormedness, RefusalsAreMalformedDocumentsAndNameTheFile) {
  for (std::string_view xml : {"<centro a='1' a='2'/>", "<centro>&nom;</centro>",
                               "<!DOCTYPE centro><centro/>", "<centro/><centro/>", ""}) {
    SCOPED_TRACE(xml);
    try {
      Document::Parse(xml, "c.xml");
      ADD_FAILURE() << "loaded";
    } catch (const DocumentError& error) {
      EXPECT_EQ(error.kind(), ErrorKind::DocumentMalformed);
      EXPECT_EQ(error.where(), "c.xml");
    }
  }
  // Half a UTF-16 character is a file we cannot decode, not a fault of its XML.
  try {
    Document::Parse(Utf16Le(u"<centro/>").substr(0, 7), "c.xml");
    ADD_FAILURE() << "loaded";
  } catch (const DocumentError& error) {
    EXPECT_EQ(error.kind(), ErrorKind::DocumentUnreadable);
  }
}

// ---------------------------------------------------------------------------------------------
// Well-formed documents, however unusual, load

TEST(WellFormedness, UnusualButWellFormedDocumentsLoad) {
  const char* const documents[] = {
      // Declaration forms.
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><centro/>",
      "<?xml version = '1.0'  encoding = 'utf-8'  standalone = 'no' ?><centro/>",
      "<?xml\tversion='1.1'?><centro/>",
      "\xEF\xBB\xBF<?xml version='1.0'?><centro/>",
      "\xEF\xBB\xBF<centro/>",
      // Comments, processing instructions and white space around the root.
      "<!-- antes --><?xml-stylesheet href='a.xsl'?>\n<centro/>\n<!-- despu\xC3\xA9s -->\n"
      "<?fin?>\r\n\t ",
      "<?xmlfoo?><?xml-x y?><?p ?" "?><centro/><!----><!-- - -->",
      // Markup-looking text where it is only text.
      "<centro><![CDATA[<&>]]]]><![CDATA[]]></centro>",
      "<centro a='>' b=\"'\" c='\"'>a > b ]] ]>]</centro>",
      "<centro a='&lt;&gt;&amp;&quot;&apos;'>&lt;&gt;&amp;&quot;&apos;</centro>",
      "<centro a='&#9;&#xA;&#13;&#x20;&#65;&#xFFFD;&#x10FFFF;&#x10000;&#0000065;'/>",
      // Names.
      "<centro xmlns:a.b-c_d='u'><a.b-c_d:e\xC2\xB7 _x='1' \xC3\xA9l='2' :y='3'/><\xE4\xB8\xAD/>"
      "</centro>",
      // Namespace prefixes declared on the element or around it; xml is always declared.
      "<centro xmlns:x='u' x:a='1'><y:b xmlns:y='v' x:c='2' xml:lang='es'/><x:d/></centro>",
      "<centro   a = '1'\r\n\tb\t=\t\"2\"   ></centro   >",
      // Characters XML allows: DEL, C1 controls, U+FFFD, a character outside the basic plane.
      "<centro n='\x7F\xC2\x85\xEF\xBF\xBD\xF0\x9F\x98\x80'>\t\r\n</centro>",
  };
  for (const char* document : documents) {
    SCOPED_TRACE(document);
    EXPECT_EQ(Refusal(document), "");
  }
  // UTF-16 with a character outside the basic plane, and the values read back.
  const Document document =
      Document::Parse(Utf16Le(u"<?xml version='1.0' encoding='UTF-16'?>\n"
                              u"<centro a='x\xD83D\xDE00y' b='&#xE9;&amp;'><!-- \u20AC --></centro>"
                              u"\n<!-- fin -->\n"));
  EXPECT_EQ(document.Root().Attr("a"), "x?y");
  EXPECT_EQ(document.Root().Attr("b"), "\xE9&");
}

}  // namespace
}  // namespace tc::itaca
