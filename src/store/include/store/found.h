// What one lookup found for each key asked, kept: a run asks its tables for the same few
// thousand codes (teachers, rooms, groups) tens of thousands of times, and while one reads them
// the rows it looks up do not change.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

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
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>{}(key);
    }
  };
  std::unordered_map<std::string, std::optional<Value>, Hash, std::equal_to<>> found_;
};

}  // namespace tc::store
