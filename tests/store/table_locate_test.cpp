// Locate and LocateNext answer from their indexes; here it is checked against a plain scan in file order over
// tables that change under it: duplicate keys, deleted rows, edited keys, appended rows, packs,
// and closing and reopening.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/table.h"
#include "support/test_support.h"
#include "table_testing.h"

namespace tc::test {
namespace {

using store::OpenMode;
using store::Table;

// The record number of the first live row whose key fields hold exactly these texts, found by
// walking the table from its first row: the lookup as a scan.
int Scan(Table& table, const std::vector<std::string>& fields,
         const std::vector<std::string>& values) {
  for (table.First(); !table.Eof(); table.Next()) {
    bool match = true;
    for (std::size_t i = 0; i < fields.size() && match; ++i) {
      match = table.GetText(fields[i]) == values[i];
    }
    if (match) return table.RecNo();
  }
  return 0;
}

// Every live row holding this text in one field, in file order, by walking the table.
std::vector<int> ScanAll(Table& table, const std::string& field, const std::string& value) {
  std::vector<int> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.GetText(field) == value) rows.push_back(table.RecNo());
  }
  return rows;
}

class LocateAgainstScan : public ::testing::TestWithParam<unsigned> {};

TEST_P(LocateAgainstScan, GivesTheSameRowAfterEveryKindOfChange) {
  TempDir dir;
  const auto path = dir / "ASIGT.DBF";
  Table table =
      Table::Create(path, {Char("CLAVE", 3), Char("CPROF", 2), Integer("N"), Char("OTRO", 4)});
  std::mt19937 random(GetParam());
  // Few distinct texts, so that keys repeat; some with blanks at the end, some too long.
  const std::vector<std::string> texts{"A", "B", "AB", "A ", "ab", "", "ABC", "ABCD", " A"};
  auto any_text = [&] { return texts[random() % texts.size()]; };
  const std::vector<std::vector<std::string>> key_sets{
      {"CLAVE"}, {"CPROF"}, {"CLAVE", "CPROF"}, {"CPROF", "CLAVE"}, {"N"}, {"CLAVE", "N"},
      {"clave"}, {"cprof", "Clave"}};  // other spellings of a key list share its index
  auto joined = [](const std::vector<std::string>& fields) {
    std::string keys;
    for (const std::string& field : fields) keys += (keys.empty() ? "" : ";") + field;
    return keys;
  };

  int lookups = 0, found = 0;
  for (int step = 0; step < 1500; ++step) {
    const unsigned action = random() % 100;
    if (action < 35) {  // append
      table.Append();
      if (random() % 5) table.SetText("CLAVE", any_text());
      if (random() % 5) table.SetText("CPROF", any_text());
      if (random() % 3) table.SetInteger("N", static_cast<int>(random() % 4));
      if (random() % 2) table.Post();
    } else if (action < 50 && table.RecordCount() > 0) {  // edit a row found by walking
      int skip = static_cast<int>(random() % table.RecordCount());
      table.First();
      while (skip-- > 0) table.Next();
      table.Edit();
      if (random() % 2) table.SetText("CLAVE", any_text());
      if (random() % 2) table.SetText("CPROF", any_text());
      if (random() % 3 == 0) table.Clear("N");
      table.SetText("OTRO", "e");
      if (random() % 2) table.Post();
    } else if (action < 62 && table.RecordCount() > 0) {  // delete a row found by Locate
      const auto& fields = key_sets[random() % 2];
      if (table.Locate(fields[0], any_text())) table.Delete();
    } else if (action < 64) {
      table.Pack();
    } else if (action < 66) {  // close and reopen: indexes start again from the file
      table.Close();
      table = Table::Open(path, OpenMode::Exclusive);
    } else {  // look up and compare
      const auto& fields = key_sets[random() % key_sets.size()];
      std::vector<std::string> values;
      for (const std::string& field : fields) {
        values.push_back(field == "N" ? std::to_string(random() % 5) : any_text());
      }
      const bool located = table.Locate(joined(fields), std::span<const std::string>(values));
      const int indexed = located ? table.RecNo() : 0;
      const int scanned = Scan(table, fields, values);
      ASSERT_EQ(indexed, scanned) << "step " << step << " keys " << joined(fields);
      if (fields.size() == 1) {  // and every further match, as LocateNext walks them
        std::vector<int> walked;
        for (bool more = table.Locate(fields[0], values[0]); more;
             more = table.LocateNext(fields[0], values[0])) {
          walked.push_back(table.RecNo());
        }
        ASSERT_EQ(walked, ScanAll(table, fields[0], values[0])) << "step " << step;
      }
      ++lookups;
      found += located ? 1 : 0;
    }
  }
  EXPECT_GT(lookups, 300);
  EXPECT_GT(found, lookups / 5);  // the comparison saw hits as well as misses
  EXPECT_LT(found, lookups);
}

INSTANTIATE_TEST_SUITE_P(Seeds, LocateAgainstScan, ::testing::Values(1u, 7u, 2024u, 31337u));

TEST(LocateMany, FindsEveryKeyAsTheIndexGrowsAndItsKeysChange) {
  TempDir dir;
  Table table = Table::Create(dir / "T.DBF", {Char("K", 8), Integer("N")});
  table.Locate("K", "");  // the index exists before the rows: it grows with them
  constexpr int kRows = 5000;
  for (int i = 0; i < kRows; ++i) {
    table.Append();
    table.SetText("K", "k" + std::to_string(i % 3000));  // 2000 keys twice
    table.SetInteger("N", i);
    table.Post();
  }
  // A third of the keys change (filed again under another hash), some rows go.
  for (int i = 0; i < 3000; i += 3) {
    ASSERT_TRUE(table.Locate("K", "k" + std::to_string(i)));
    table.Edit();
    table.SetText("K", "m" + std::to_string(i));
    table.Post();
  }
  for (int i = 1; i < 3000; i += 7) {
    if (table.Locate("K", "k" + std::to_string(i))) table.Delete();
  }
  // Each key's first live row, by walking the table, against the index.
  std::map<std::string, int> first;
  for (table.First(); !table.Eof(); table.Next()) first.try_emplace(table.GetText("K"), table.RecNo());
  EXPECT_EQ(first.size(), 3477u);  // the k keys left and the m keys
  for (int i = 0; i < 3000; ++i) {
    for (const std::string& key : {"k" + std::to_string(i), "m" + std::to_string(i)}) {
      const auto scanned = first.find(key);
      const bool located = table.Locate("K", key);
      EXPECT_EQ(located ? table.RecNo() : 0, scanned == first.end() ? 0 : scanned->second) << key;
    }
  }
}

TEST(Fields, NamesAlikeInLengthAndLettersAreKeptApart) {
  TempDir dir;
  // CAX, CBX and CCX share length and first and last letters.
  Table table = Table::Create(dir / "T.DBF", {Char("CAX", 2), Char("CBX", 2), Char("CCX", 2)});
  table.Append();
  for (int round = 0; round < 3; ++round) {
    table.SetText("CAX", "a");
    table.SetText("CBX", "b");
    table.SetText("cCx", "c");
    EXPECT_EQ(table.GetText("CBX"), "b");
    EXPECT_EQ(table.GetText("CAX"), "a");
    EXPECT_EQ(table.GetText("CCX"), "c");
  }
  EXPECT_THROW(table.GetText("CDX"), TableError);
  EXPECT_THROW(table.GetText(""), TableError);
}

TEST(LocateFailure, KeepsTheCurrentRowExactly) {
  TempDir dir;
  Table table = Table::Create(dir / "T.DBF", {Char("K", 2)});
  for (const char* key : {"A", "B", "C"}) {
    table.Append();
    table.SetText("K", key);
    table.Post();
  }
  table.First();
  table.Next();
  EXPECT_FALSE(table.Locate("K", "Z"));
  EXPECT_EQ(table.RecNo(), 2);
  table.Next();
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_FALSE(table.Locate("K", "Z"));
  EXPECT_TRUE(table.Eof());
}

}  // namespace
}  // namespace tc::test
