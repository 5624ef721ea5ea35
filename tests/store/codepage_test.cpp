// Windows-1252 against UTF-8 and UTF-16, and letter case over its letters.
#include <gtest/gtest.h>

#include "base/codepage.h"

namespace tc {
namespace {

TEST(CodePage, EveryByteSurvivesTheRoundTripThroughUtf8AndUtf16) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  std::u16string utf16;  // every code point of Windows-1252 lies in the basic plane
  for (const char c : all) {
    utf16 += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(c)));
  }
  EXPECT_EQ(Utf16ToCp1252(utf16), all);
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<unsigned char>(byte);
    EXPECT_EQ(CodePointToCp1252(Cp1252ToCodePoint(b)), byte) << byte;
  }
}

TEST(CodePage, InPlaceConversionGivesWhatTheCopyGives) {
  std::string all;
  for (int byte = 255; byte >= 0; --byte) all += static_cast<char>(byte);
  for (const std::string& text : {std::string(), std::string("plain"), std::string("\x80"),
                                   "a\xE9" + all + "z", all + all}) {
    std::string converted = text;
    ConvertCp1252ToUtf8InPlace(converted);
    EXPECT_EQ(converted, Cp1252ToUtf8(text));
  }
}

TEST(CodePage, TheRangeWhereWindows1252LeavesLatin1) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20AC");             // euro
  EXPECT_EQ(Cp1252ToUtf8("\x8A\x9C\x9F"), "\u0160\u0153\u0178");  // Š œ Ÿ
  EXPECT_EQ(Cp1252ToUtf8("\x96\x93\x94"), "\u2013\u201C\u201D");  // – “ ”
  EXPECT_EQ(Cp1252ToUtf8("\xB7\xE7\xF1"), "\u00B7\u00E7\u00F1");  // · ç ñ
  // The undefined bytes keep their value as C1 controls.
  EXPECT_EQ(Cp1252ToCodePoint(0x81), U'\u0081');
  EXPECT_EQ(Cp1252ToCodePoint(0x9D), U'\u009D');
  EXPECT_EQ(CodePointToCp1252(U'\u20AC'), 0x80);
  EXPECT_EQ(CodePointToCp1252(U'\u0080'), -1);  // not a character of the code page
  EXPECT_EQ(CodePointToCp1252(U'\u0100'), -1);
}

TEST(CodePage, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToCp1252("\u0141\u00F3d\u017A"), "?\xF3" "d?");  // Łódź
  EXPECT_EQ(Utf8ToCp1252("\U0001F600!"), "?!");                  // one character, one mark
  EXPECT_EQ(Utf16ToCp1252(u"\U0001F600!"), "?!");
  EXPECT_EQ(Utf16ToCp1252(std::u16string(1, char16_t(0xD800)) + u"a"), "?a");  // lone surrogate
  EXPECT_EQ(Utf16ToCp1252(std::u16string(1, char16_t(0xDC00))), "?");
}

TEST(CodePage, InvalidUtf8GivesQuestionMarksAndResynchronises) {
  EXPECT_EQ(Utf8ToCp1252("a\xFF" "b"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");               // cut short at the end
  EXPECT_EQ(Utf8ToCp1252("\xC3(x"), "?(x");             // bad continuation: next byte kept
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong '/'
  EXPECT_EQ(Utf8ToCp1252("\xE0\x80\xAF"), "?");         // overlong, three bytes
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "?");         // encoded surrogate
  EXPECT_EQ(Utf8ToCp1252("\xF4\x90\x80\x80"), "?");     // beyond U+10FFFF
  EXPECT_EQ(Utf8ToCp1252("\x80\x80"), "??");            // stray continuation bytes
  EXPECT_EQ(Utf8ToCp1252(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  // Read as a sequence, a surrogate is a code point of its own; a sequence cut short is not.
  const Utf8Sequence surrogate = ReadUtf8("\xED\xA0\x80", 0);
  EXPECT_TRUE(surrogate.valid && surrogate.code_point == 0xD800 && surrogate.length == 3);
  const Utf8Sequence cut = ReadUtf8("\xE2\x82", 0);
  EXPECT_TRUE(!cut.valid && cut.length == 2);
}

TEST(LetterCase, AccentedLettersAndTheFourOutsideTheRegularRange) {
  // àéíòúïüçñ and šœžÿ
  EXPECT_EQ(UpperCase("\xE0\xE9\xED\xF2\xFA\xEF\xFC\xE7\xF1 \x9A\x9C\x9E\xFF"),
            "\xC0\xC9\xCD\xD2\xDA\xCF\xDC\xC7\xD1 \x8A\x8C\x8E\x9F");
  EXPECT_EQ(LowerCase("\xC0\xC9\xCD\xD2\xDA\xCF\xDC\xC7\xD1 \x8A\x8C\x8E\x9F"),
            "\xE0\xE9\xED\xF2\xFA\xEF\xFC\xE7\xF1 \x9A\x9C\x9E\xFF");
  EXPECT_EQ(UpperCase("abc xyz 1\xB7"), "ABC XYZ 1\xB7");
  // Signs and letters without a partner stay: ÷ ×, ß, µ, ª º.
  EXPECT_EQ(UpperCase("\xF7\xDF\xB5\xAA\xBA"), "\xF7\xDF\xB5\xAA\xBA");
  EXPECT_EQ(LowerCase("\xD7"), "\xD7");
}

TEST(LetterCase, AsciiUpperCaseLeavesEveryOtherByte) {
  EXPECT_EQ(AsciiUpperCase("val\xE8ncia \xF1 z"), "VAL\xE8NCIA \xF1 Z");
}

TEST(LetterCase, EqualityWithoutRegardToCase) {
  EXPECT_TRUE(EqualsIgnoringCase("Matem\xE1ticas", "MATEM\xC1TICAS"));
  EXPECT_TRUE(EqualsIgnoringCase("\x9C", "\x8C"));
  EXPECT_TRUE(EqualsIgnoringCase("", ""));
  EXPECT_FALSE(EqualsIgnoringCase("ABC", "ABD"));
  EXPECT_FALSE(EqualsIgnoringCase("AB", "ABC"));
  EXPECT_FALSE(EqualsIgnoringCase("\xF7", "\xD7"));  // ÷ is no letter
  EXPECT_FALSE(EqualsIgnoringCase("a ", "a"));
}

}  // namespace
}  // namespace tc
