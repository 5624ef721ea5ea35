// Counts by keys of a few numbers (texts numbered first, TextNumbers): an open table of places
// in the list of keys counted, at most half full, grown by doubling. A key is found at the place
// its hash names or in the next few, without the allocation and the scattered nodes of a map,
// which tell once a school's keys are hundreds of thousands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tc {

template <std::size_t N>
class KeyCounts {
 public:
  using Key = std::array<std::uint32_t, N>;

  // Room for `expected` keys before the table grows. Only the table of places is filled ahead:
  // memory first written costs more than the reading of it.
  explicit KeyCounts(std::size_t expected = 0) {
    Resize(expected);
    counted_.reserve(expected);
  }

  void Add(const Key& key, double count = 1.0) {
    if ((counted_.size() + 1) * 2 > places_.size()) Resize(counted_.size() + 1);
    std::uint32_t& place = places_[SlotOf(key)];
    if (place == kFree) {
      place = static_cast<std::uint32_t>(counted_.size());
      counted_.push_back({key, 0});
    }
    counted_[place].count += count;
  }

  std::size_t Size() const { return counted_.size(); }
  bool Contains(const Key& key) const { return places_[SlotOf(key)] != kFree; }

  // Calls f(key, count) for every key counted, in the order first met.
  template <typename F>
  void ForEach(F f) const {
    for (const Counted& counted : counted_) f(counted.key, counted.count);
  }

 private:
  static constexpr std::uint32_t kFree = UINT32_MAX;
  struct Counted {
    Key key;
    double count;
  };

  static std::size_t Hash(const Key& key) {
    std::uint64_t hash = 0;
    for (const std::uint32_t part : key) hash = (hash ^ part) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(hash ^ hash >> 32);
  }
  // The slot that holds the place of the key's count, or the free one where it goes.
  std::size_t SlotOf(const Key& key) const {
    const std::size_t mask = places_.size() - 1;
    std::size_t at = Hash(key) & mask;
    while (places_[at] != kFree && counted_[places_[at]].key != key) at = (at + 1) & mask;
    return at;
  }
  void Resize(std::size_t keys) {
    std::size_t size = 16;
    while (size < keys * 2) size *= 2;
    if (size <= places_.size()) return;
    places_.assign(size, kFree);
    for (std::uint32_t i = 0; i < counted_.size(); ++i) places_[SlotOf(counted_[i].key)] = i;
  }

  std::vector<std::uint32_t> places_;  // into counted_, kFree where none
  std::vector<Counted> counted_;
};

}  // namespace tc
