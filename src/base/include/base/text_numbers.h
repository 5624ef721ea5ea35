// Texts numbered in the order they are first met, for keys made of numbers where the texts
// repeat: a school's lessons share a few thousand codes. One open table of slots (a text's hash and
// its number), at most half full: a text is found in the slot its hash names or in one of the next
// few, without the scattered nodes and the division of a map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

namespace text_numbers {

inline std::uint64_t Word(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
inline std::uint32_t HalfWord(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
inline std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 32;
  x *= 0xd6e8feb86659fd93ull;
  x ^= x >> 32;
  return x;
}

// A text's hash, worked out in place for the short codes a school's tables hold (in words of
// eight bytes, the last two overlapping) rather than in a call.
inline std::size_t Hash(std::string_view text) {
  const char* at = text.data();
  std::size_t size = text.size();
  std::uint64_t hash = 0x9e3779b97f4a7c15ull ^ size;
  if (size >= 8) {
    for (; size > 16; at += 8, size -= 8) hash = Mix(hash ^ Word(at));
    hash = Mix(hash ^ Word(at));
    return static_cast<std::size_t>(Mix(hash ^ Word(at + size - 8)));
  }
  if (size >= 4) {
    return static_cast<std::size_t>(
        Mix(hash ^ (HalfWord(at) | std::uint64_t{HalfWord(at + size - 4)} << 32)));
  }
  if (size > 0) {
    const auto byte = [at](std::size_t i) {
      return std::uint64_t{static_cast<unsigned char>(at[i])};
    };
    hash ^= byte(0) | byte(size / 2) << 8 | byte(size - 1) << 16;
  }
  return static_cast<std::size_t>(Mix(hash));
}

// Whether two texts are the same, short ones compared in place the same way.
inline bool Same(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  const char* x = a.data();
  const char* y = b.data();
  if (size >= 8 && size <= 16) {
    return Word(x) == Word(y) && Word(x + size - 8) == Word(y + size - 8);
  }
  if (size >= 4 && size < 8) {
    return HalfWord(x) == HalfWord(y) && HalfWord(x + size - 4) == HalfWord(y + size - 4);
  }
  if (size < 4) {
    return size == 0 || (x[0] == y[0] && x[size / 2] == y[size / 2] && x[size - 1] == y[size - 1]);
  }
  return std::memcmp(x, y, size) == 0;
}

}  // namespace text_numbers

// `Kept` is std::string for a numbering that keeps its own texts, std::string_view for one over
// texts that outlive it.
template <typename Kept>
class Numbering {
 public:
  // The text's number, a new one the first time. The last text asked is tried first: rows that
  // come by group ask for the same one again and again.
  std::uint32_t Of(std::string_view text) {
    if (last_ != kNone && text_numbers::Same(texts_[last_], text)) return last_;
    if ((texts_.size() + 1) * 2 > slots_.size()) Grow();
    const std::size_t hash = text_numbers::Hash(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.number == kNone) {
        slot = {hash, static_cast<std::uint32_t>(texts_.size())};
        texts_.emplace_back(text);
        return last_ = slot.number;
      }
      if (slot.hash == hash && text_numbers::Same(texts_[slot.number], text)) {
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
    std::size_t hash = 0;
    std::uint32_t number = kNone;
  };

  // Twice the room, the texts met filed again.
  void Grow() {
    std::vector<Slot> old(slots_.size() < 32 ? 64 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.number == kNone) continue;
      std::size_t at = slot.hash & mask;
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
