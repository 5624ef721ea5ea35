// The lookup index behind Table::Locate: for one set of key fields, every row's record number
// filed under the hash of its key texts, in file order. The table keeps each index right
// through append, edit and pack (a deleted row stays filed until the pack, and the table's
// lookups pass over it), so the first live row under a hash whose fields really hold the key is
// the first matching row in file order: the answer a scan from the first row would give. Keys
// are not stored: the rows are checked against the wanted texts, which also settles the rare
// rows of other keys that share a hash. The hashes are filed in one open table of small slots
// (a lookup reads one slot rather than following a node), sized for the table's rows before it
// is filled. Internal.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "base/text_hash.h"

namespace tc::store::dbf {

class KeyIndex {
 public:
  // Sized for `rows` keys before it is filled.
  KeyIndex(std::vector<std::size_t> columns, std::size_t rows) : columns_(std::move(columns)) {
    Resize(rows);
  }

  // Column positions (in the table's field list) that make up the key, in order.
  const std::vector<std::size_t>& Columns() const { return columns_; }

  // Hash of a key, built one part (field text) after the other; each part's length goes in too,
  // so no text can run into the next part. The slots are chosen by the top bits.
  static constexpr std::uint64_t kSeed = 0x9E3779B97F4A7C15ULL;
  static std::uint64_t AddPart(std::uint64_t hash, std::string_view part) {
    const std::uint64_t h = TextHash(part) ^ (part.size() * 0xFF51AFD7ED558CCDULL);
    return (hash ^ (h + 0x9E3779B97F4A7C15ULL + (hash << 6) + (hash >> 2))) * 0xC4CEB9FE1A85EC53ULL;
  }

  void Add(std::uint64_t hash, std::uint32_t record) {
    if ((filed_ + removed_ + 1) * 2 > slots_.size()) Resize(filed_ + 1);
    Slot& slot = Place(hash);
    if (slot.state != kOne && slot.state != kMany) {
      if (slot.state == kRemoved) --removed_;
      slot = {hash, record, kOne};
      ++filed_;
      return;
    }
    if (slot.state == kOne) {  // from one row to several
      if (slot.value == record) return;
      const std::uint32_t list = NewList();
      lists_[list].push_back(slot.value);
      slot.value = list;
      slot.state = kMany;
    }
    std::vector<std::uint32_t>& more = lists_[slot.value];
    if (more.back() < record) {
      more.push_back(record);  // appends arrive in file order
    } else {
      auto at = std::lower_bound(more.begin(), more.end(), record);
      if (at == more.end() || *at != record) more.insert(at, record);
    }
  }

  void Remove(std::uint64_t hash, std::uint32_t record) {
    Slot* slot = Find(hash);
    if (!slot) return;
    if (slot->state == kOne) {
      if (slot->value != record) return;
      slot->state = kRemoved;
      --filed_;
      ++removed_;
      return;
    }
    std::vector<std::uint32_t>& more = lists_[slot->value];
    auto at = std::lower_bound(more.begin(), more.end(), record);
    if (at != more.end() && *at == record) more.erase(at);
    if (more.size() == 1) {
      const std::uint32_t list = slot->value;
      slot->value = more.front();
      slot->state = kOne;
      std::vector<std::uint32_t>().swap(more);
      free_lists_.push_back(list);
    }
  }

  // The first record under this hash, after `after` when given, for which `matches` holds.
  template <typename Matches>
  std::optional<std::uint32_t> First(std::uint64_t hash, Matches matches,
                                     std::optional<std::uint32_t> after = std::nullopt) const {
    const Slot* slot = const_cast<KeyIndex*>(this)->Find(hash);
    if (!slot) return std::nullopt;
    if (slot->state == kOne) {
      if ((!after || slot->value > *after) && matches(slot->value)) return slot->value;
      return std::nullopt;
    }
    const std::vector<std::uint32_t>& more = lists_[slot->value];
    auto at = after ? std::upper_bound(more.begin(), more.end(), *after) : more.begin();
    for (; at != more.end(); ++at) {
      if (matches(*at)) return *at;
    }
    return std::nullopt;
  }

 private:
  enum State : std::uint8_t { kEmpty, kOne, kMany, kRemoved };
  // One hash: its single record, or (kMany) the index of its list of records in ascending order.
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t value = 0;
    State state = kEmpty;
  };

  std::size_t Start(std::uint64_t hash) const {
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> shift_);
  }

  // The slot filed under `hash`, or null.
  Slot* Find(std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = Start(hash);; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.state == kEmpty) return nullptr;
      if (slot.state != kRemoved && slot.hash == hash) return &slot;
    }
  }

  // The slot filed under `hash`, or the one to file it in (empty or removed); room is assured.
  Slot& Place(std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    Slot* free = nullptr;
    for (std::size_t i = Start(hash);; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.state == kEmpty) return free ? *free : slot;
      if (slot.state == kRemoved) {
        if (!free) free = &slot;
      } else if (slot.hash == hash) {
        return slot;
      }
    }
  }

  std::uint32_t NewList() {
    if (!free_lists_.empty()) {
      const std::uint32_t list = free_lists_.back();
      free_lists_.pop_back();
      return list;
    }
    lists_.emplace_back();
    return static_cast<std::uint32_t>(lists_.size() - 1);
  }

  // Room for `keys` hashes at most half full, the removed slots dropped.
  void Resize(std::size_t keys) {
    std::size_t size = 16;
    unsigned bits = 4;
    while (size < keys * 2) {
      size *= 2;
      ++bits;
    }
    if (size < slots_.size()) {  // the removed slots go, the room stays
      size = slots_.size();
      bits = 64 - shift_;
    }
    std::vector<Slot> old(size);
    old.swap(slots_);
    shift_ = 64 - bits;
    removed_ = 0;
    for (const Slot& slot : old) {
      if (slot.state == kOne || slot.state == kMany) Place(slot.hash) = slot;
    }
  }

  std::vector<std::size_t> columns_;
  std::vector<Slot> slots_;
  unsigned shift_ = 60;
  std::size_t filed_ = 0;    // slots holding a hash
  std::size_t removed_ = 0;  // slots whose hash was removed
  std::vector<std::vector<std::uint32_t>> lists_;
  std::vector<std::uint32_t> free_lists_;
};

}  // namespace tc::store::dbf
