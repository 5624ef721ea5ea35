// Texts numbered as they are met, and counts by keys of those numbers.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/key_counts.h"
#include "base/text_numbers.h"

namespace tc {
namespace {

TEST(TextNumbers, EachTextItsNumberInTheOrderFirstMet) {
  TextNumbers numbers;
  EXPECT_EQ(numbers.Of("1ESOA"), 0u);
  EXPECT_EQ(numbers.Of("1ESOA"), 0u);  // the last one again
  EXPECT_EQ(numbers.Of(""), 1u);
  EXPECT_EQ(numbers.Of("1ESO"), 2u);   // a text that begins another is another
  EXPECT_EQ(numbers.Of("1ESOA"), 0u);  // an earlier one
  EXPECT_EQ(numbers.Size(), 3u);
  EXPECT_EQ(numbers.Text(0), "1ESOA");
  EXPECT_EQ(numbers.Text(1), "");
  EXPECT_EQ(numbers.Text(2), "1ESO");
}

// Thousands of texts alike but for their last letters, well past the first room: each keeps the
// number it was first given, and a numbering over views gives the same numbers.
TEST(TextNumbers, ThousandsOfTextsKeepTheirNumbersAsTheTableGrows) {
  std::vector<std::string> texts;
  for (int i = 0; i < 5000; ++i) texts.push_back("1ESO" + std::to_string(i * 7919 % 5000));
  TextNumbers numbers;
  Numbering<std::string_view> views;
  for (int round = 0; round < 2; ++round) {
    for (std::uint32_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(numbers.Of(texts[i]), i) << texts[i];
      ASSERT_EQ(views.Of(texts[i]), i) << texts[i];
    }
  }
  EXPECT_EQ(numbers.Size(), 5000u);
  EXPECT_EQ(numbers.Text(4999), texts[4999]);
  EXPECT_EQ(views.Texts()[17], texts[17]);
}

// Texts of every length up to a few words that differ in one byte, wherever it is, are told
// apart, and the same text read again gets its number.
TEST(TextNumbers, TextsOneByteApartAtAnyPlaceAreTwo) {
  TextNumbers numbers;
  std::vector<std::string> texts;
  for (std::size_t size = 0; size <= 20; ++size) {
    const std::string base(size, 'a');
    texts.push_back(base);
    for (std::size_t at = 0; at < size; ++at) {
      std::string other = base;
      other[at] = 'b';
      texts.push_back(other);
    }
  }
  for (std::uint32_t i = 0; i < texts.size(); ++i) ASSERT_EQ(numbers.Of(texts[i]), i) << texts[i];
  for (std::uint32_t i = texts.size(); i-- > 0;) ASSERT_EQ(numbers.Of(texts[i]), i) << texts[i];
}

// Thousands of keys alike but for one number, well past the room asked for: each keeps its own
// count, and they come back in the order first met.
TEST(KeyCounts, KeysPastTheRoomAskedForKeepTheirOwnCounts) {
  KeyCounts<3> counts(4);
  for (int round = 0; round < 3; ++round) {
    for (std::uint32_t i = 0; i < 5000; ++i) {
      counts.Add({i % 7, 3000 - i % 3000, i}, round == 2 ? 0.5 : 1.0);
    }
  }
  ASSERT_EQ(counts.Size(), 5000u);
  EXPECT_TRUE(counts.Contains({4999 % 7, 3000 - 4999 % 3000, 4999}));
  EXPECT_FALSE(counts.Contains({0, 3000, 5000}));
  std::vector<std::uint32_t> order;
  counts.ForEach([&](const KeyCounts<3>::Key& key, double count) {
    EXPECT_EQ(key[0], key[2] % 7);
    EXPECT_EQ(count, 2.5) << key[2];
    order.push_back(key[2]);
  });
  ASSERT_EQ(order.size(), 5000u);
  for (std::uint32_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], i);
}

}  // namespace
}  // namespace tc
