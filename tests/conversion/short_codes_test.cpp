// The list of codes already given and the first-free search that teachers, rooms and groups share.
#include "conversion/short_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "base/codepage.h"

namespace tc {
namespace {

TEST(ShortCodes, TakenCodesIgnoreLetterCaseAccentedLettersToo) {
  CodesSeen seen;
  seen.Add("GMJ");
  seen.Add("\xC1LV");  // ÁLV
  EXPECT_TRUE(seen.Contains("gMj"));
  EXPECT_TRUE(seen.Contains("\xE1lv"));  // álv
  EXPECT_FALSE(seen.Contains("ALV"));
  EXPECT_EQ(UniqueNumbered("gmj", seen), "gmj1");  // the own spelling keeps its case
  EXPECT_EQ(UniqueNumbered("GM", seen), "GM");
}

TEST(ShortCodes, LetteredSeriesEndsWhenEveryLetterIsTaken) {
  auto letter = [](long n) { return std::string("*56") + static_cast<char>('A' + n - 1); };
  std::set<std::string> used{"*56A", "*56B"};
  auto is_free = [&](const std::string& code) { return !used.contains(code); };
  EXPECT_EQ(FirstFree(letter, is_free, 26), "*56C");
  for (char c = 'A'; c <= 'Z'; ++c) used.insert(std::string("*56") + c);
  EXPECT_EQ(FirstFree(letter, is_free, 26), std::nullopt);
}

// The search resumes where the last one of the same base ended: it must still give exactly what a
// search from 1 would, whatever the mix of bases, letter cases, widths and codes added by hand.
TEST(ShortCodes, ResumedSearchAgreesWithASearchFromOne) {
  std::mt19937 random(7);
  CodesSeen seen;
  std::set<std::string> taken;  // upper case, as the list compares
  auto naive = [&](const std::string& base, std::size_t width) {
    for (long n = 1;; ++n) {
      std::string code = NumberedCode(base, n, width);
      if (!taken.contains(UpperCase(code))) return code;
    }
  };
  const char* bases[] = {"A1", "a1", "A", "ABCDEFGH", "abcdefgh", "Labo"};
  for (int step = 0; step < 3000; ++step) {
    const std::string base = bases[random() % std::size(bases)];
    const std::size_t width = random() % 2 ? std::string_view::npos : 10;
    std::string code;
    if (random() % 5 == 0) {
      code = base + std::to_string(random() % 40);  // a code the document itself holds
    } else {
      code = FirstFreeNumbered(base, seen, width);
      ASSERT_EQ(code, naive(base, width)) << "step " << step << " base " << base;
    }
    seen.Add(code);
    taken.insert(UpperCase(code));
  }
}

}  // namespace
}  // namespace tc
