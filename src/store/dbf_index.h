// The lookup index behind Table::Locate: for one set of key fields, every row's record number
// filed under the hash of its key texts, in file order. The table keeps each index right
// through append, edit and pack (a deleted row stays filed until the pack, and the table's
// lookups pass over it), so the first live row under a hash whose fields really hold the key is
// the first matching row in file order: the answer a scan from the first row would give. Keys are not stored: the rows are checked against the wanted texts, which also settles
// the rare rows of other keys that share a hash. Internal.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc::store::dbf {

class KeyIndex {
 public:
  // Sized for `rows` keys before it is filled.
  KeyIndex(std::vector<std::size_t> columns, std::size_t rows) : columns_(std::move(columns)) {
    rows_.reserve(rows);
  }

  // Column positions (in the table's field list) that make up the key, in order.
  const std::vector<std::size_t>& Columns() const { return columns_; }

  // Hash of a key, built one part (field text) after the other; each part's length goes in too,
  // so no text can run into the next part.
  static constexpr std::uint64_t kSeed = 0x9E3779B97F4A7C15ULL;
  static std::uint64_t AddPart(std::uint64_t hash, std::string_view part) {
    std::uint64_t h = std::hash<std::string_view>{}(part) ^ (part.size() * 0xFF51AFD7ED558CCDULL);
    return (hash ^ (h + 0x9E3779B97F4A7C15ULL + (hash << 6) + (hash >> 2))) * 0xC4CEB9FE1A85EC53ULL;
  }

  void Add(std::uint64_t hash, std::uint32_t record) { rows_[hash].Insert(record); }

  void Remove(std::uint64_t hash, std::uint32_t record) {
    auto found = rows_.find(hash);
    if (found == rows_.end()) return;
    found->second.Erase(record);
    if (found->second.Empty()) rows_.erase(found);
  }

  // The first record under this hash, after `after` when given, for which `matches` holds.
  template <typename Matches>
  std::optional<std::uint32_t> First(std::uint64_t hash, Matches matches,
                                     std::optional<std::uint32_t> after = std::nullopt) const {
    auto found = rows_.find(hash);
    if (found == rows_.end()) return std::nullopt;
    return found->second.First(matches, after);
  }

 private:
  // Record numbers in ascending order; the usual single one is held without an allocation.
  class Rows {
   public:
    bool Empty() const { return one_ == kNone && more_.empty(); }

    void Insert(std::uint32_t record) {
      if (Empty()) {
        one_ = record;
        return;
      }
      if (one_ != kNone) {  // from one row to several
        more_.push_back(one_);
        one_ = kNone;
      }
      if (more_.back() < record) {
        more_.push_back(record);  // appends arrive in file order
      } else {
        auto at = std::lower_bound(more_.begin(), more_.end(), record);
        if (at == more_.end() || *at != record) more_.insert(at, record);
      }
    }

    void Erase(std::uint32_t record) {
      if (one_ != kNone) {
        if (one_ == record) one_ = kNone;
        return;
      }
      auto at = std::lower_bound(more_.begin(), more_.end(), record);
      if (at != more_.end() && *at == record) more_.erase(at);
      if (more_.size() == 1) {
        one_ = more_.front();
        std::vector<std::uint32_t>().swap(more_);
      }
    }

    template <typename Matches>
    std::optional<std::uint32_t> First(Matches matches, std::optional<std::uint32_t> after) const {
      if (one_ != kNone) {
        if ((!after || one_ > *after) && matches(one_)) return one_;
        return std::nullopt;
      }
      auto at = after ? std::upper_bound(more_.begin(), more_.end(), *after) : more_.begin();
      for (; at != more_.end(); ++at) {
        if (matches(*at)) return *at;
      }
      return std::nullopt;
    }

   private:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t one_ = kNone;
    std::vector<std::uint32_t> more_;
  };

  std::vector<std::size_t> columns_;
  std::unordered_map<std::uint64_t, Rows> rows_;
};

}  // namespace tc::store::dbf
