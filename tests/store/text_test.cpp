// The text functions on the examples Clepsa's data gives them.
#include <gtest/gtest.h>

#include "base/text.h"

namespace tc {
namespace {

TEST(Trim, OnlyTheSpaceIsABlank) {
  EXPECT_EQ(AllTrim("  F\xEDsica  "), "F\xEDsica");  // Física
  EXPECT_EQ(AllTrim("     "), "");
  EXPECT_EQ(AllTrim(""), "");
  EXPECT_EQ(AllTrim("\tA "), "\tA");
  EXPECT_EQ(AllTrim(" A\t"), "A\t");
  EXPECT_EQ(AllTrim("\xA0" "A\xA0"), "\xA0" "A\xA0");  // the no-break space stays
  EXPECT_EQ(AllTrim(" Lengua  Castellana "), "Lengua  Castellana");
  EXPECT_EQ(LTrim("  A  "), "A  ");
  EXPECT_EQ(RTrim("  A  "), "  A");
}

TEST(LeftRight, CountsAtAndBeyondTheLength) {
  EXPECT_EQ(Left("ABC", 5), "ABC");
  EXPECT_EQ(Left("ABC", 3), "ABC");
  EXPECT_EQ(Left("ABC", 1), "A");
  EXPECT_EQ(Left("ABC", 0), "");
  EXPECT_EQ(Left("ABC", -2), "");
  EXPECT_EQ(Right("1B", 1), "B");
  EXPECT_EQ(Right("B", 1), "B");
  EXPECT_EQ(Right("ABC", 2), "BC");
  EXPECT_EQ(Right("ABC", 0), "");
  EXPECT_EQ(Right("", 1), "");
}

TEST(Initials, WordsOfFourLettersAndTheEndOfTheText) {
  EXPECT_EQ(Initials("Lengua Castellana y Literatura"), "CL");
  EXPECT_EQ(Initials("Tecnologia Industrial II"), "II");
  EXPECT_EQ(Initials("Educaci\xF3n F\xEDsica y Deporte I"), "FDI");
  EXPECT_EQ(Initials("Matem\xE1ticas"), "");
  EXPECT_EQ(Initials("Historia del Arte"), "A");
  EXPECT_EQ(Initials("Cultura Cl\xE1sica"), "C");
  EXPECT_EQ(Initials("Valores \xC9ticos"), "\xC9");  // Éticos
  EXPECT_EQ(Initials("Ciencias  II"), " I");
  EXPECT_EQ(Initials(""), "");
  EXPECT_EQ(Initials("A "), "");  // a blank in the last position has nothing after it
  EXPECT_EQ(Initials("lengua castellana"), "c");  // letter case is kept
}

}  // namespace
}  // namespace tc
