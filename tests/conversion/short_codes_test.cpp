// The list of codes already given and the first-free search that teachers, rooms and groups share.
#include "conversion/short_codes.h"

#include <gtest/gtest.h>

#include <set>

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

}  // namespace
}  // namespace tc
