// Texts numbered in the order they are first met, for keys made of numbers where the texts
// repeat: a school's lessons share a few thousand codes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc {

class TextNumbers {
 public:
  // The text's number, a new one the first time. The last text asked is tried first: rows that
  // come by group ask for the same one again and again.
  std::uint32_t Of(std::string_view text);
  // The text of a number given.
  const std::string& Text(std::uint32_t number) const { return texts_[number]; }
  std::size_t Size() const { return texts_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  static constexpr std::uint32_t kNone = UINT32_MAX;
  std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> numbers_;
  std::vector<std::string> texts_;
  std::uint32_t last_ = kNone;
};

}  // namespace tc
