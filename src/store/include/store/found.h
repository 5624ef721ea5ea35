// What one lookup found for each key asked, kept: a run asks its tables for the same few
// thousand codes (teachers, rooms, groups) tens of thousands of times, and while one reads them
// the rows it looks up do not change.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/text_hash.h"
#include "store/table.h"

namespace tc::store {

template <typename Value>
class Found {
 public:
  // What `find` gives for the key, asked the first time only (nullopt: not found).
  template <typename Find>
  const std::optional<Value>& Of(std::string_view key, Find find) {
    auto at = found_.find(key);
    if (at == found_.end()) at = found_.emplace(std::string(key), find()).first;
    return at->second;
  }

 private:
  std::unordered_map<std::string, std::optional<Value>, TextHasher, std::equal_to<>> found_;
};

// One field of a table's rows by a key field, each key looked up once: the first row in file
// order whose key field holds the text, as Locate finds it; nullopt when none does.
class FoundField {
 public:
  FoundField(Table& table, std::string_view key, std::string_view field)
      : table_(table), key_(key), field_(field) {}
  const std::optional<std::string>& Of(std::string_view code) {
    return found_.Of(code, [&] {
      return table_.Locate(key_, code) ? std::optional(table_.GetText(field_)) : std::nullopt;
    });
  }

 private:
  Table& table_;
  std::string key_;
  std::string field_;
  Found<std::string> found_;
};

}  // namespace tc::store
