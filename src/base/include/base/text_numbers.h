// Texts numbered in the order they are first met, for keys made of numbers where the texts
// repeat: a school's lessons share a few thousand codes. One open table of slots (a text's hash and
// its number), at most half full: a text is found in the slot its hash names or in one of the next
// few, without the scattered nodes and the division of a map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_hash.h"

namespace tc {

// `Kept` is std::string for a numbering that keeps its own texts, std::string_view for one over
// texts that outlive it.
template <typename Kept>
class Numbering {
 public:
  // The text's number, a new one the first time. The last text asked is tried first: rows that
  // come by group ask for the same one again and again.
  std::uint32_t Of(std::string_view text) {
    if (last_ != kNone && SameText(texts_[last_], text)) return last_;
    if ((texts_.size() + 1) * 2 > slots_.size()) Grow();
    const std::uint64_t hash = TextHash(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = Home(hash, mask);; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.number == kNone) {
        slot = {hash, static_cast<std::uint32_t>(texts_.size())};
        texts_.emplace_back(text);
        return last_ = slot.number;
      }
      if (slot.hash == hash && SameText(texts_[slot.number], text)) {
        return last_ = slot.number;
      }
    }
  }

  // The text of a number given.
  const Kept& Text(std::uint32_t number) const { return texts_[number]; }
  // Every text, by number.
  const std::vector<Kept>& Texts() const { return texts_; }
  std::size_t Size() const { return texts_.size(); }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t number = kNone;
  };

  // The slot a hash names: from its top half, which the hash mixes best.
  static std::size_t Home(std::uint64_t hash, std::size_t mask) {
    return static_cast<std::size_t>(hash >> 32) & mask;
  }
  // Twice the room, the texts met filed again.
  void Grow() {
    std::vector<Slot> old(slots_.size() < 32 ? 64 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.number == kNone) continue;
      std::size_t at = Home(slot.hash, mask);
      while (slots_[at].number != kNone) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::vector<Kept> texts_;
  std::uint32_t last_ = kNone;
};

// A numbering that keeps its texts.
using TextNumbers = Numbering<std::string>;

}  // namespace tc
