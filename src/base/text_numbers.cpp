#include "base/text_numbers.h"

namespace tc {

std::uint32_t TextNumbers::Of(std::string_view text) {
  if (last_ != kNone && texts_[last_] == text) return last_;
  auto found = numbers_.find(text);
  if (found == numbers_.end()) {
    found = numbers_.emplace(std::string(text), static_cast<std::uint32_t>(texts_.size())).first;
    texts_.emplace_back(text);
  }
  last_ = found->second;
  return last_;
}

}  // namespace tc
