// The lookup index behind Table::Locate: for one set of key fields, the joined key texts of every
// live row mapped to the record numbers holding them, in file order. The table keeps each index
// right through append, edit, delete and pack, so the first entry of a key is always the first
// matching row in file order: the answer a scan from the first row would give. Internal.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc::store::dbf {

class KeyIndex {
 public:
  explicit KeyIndex(std::vector<std::size_t> columns) : columns_(std::move(columns)) {}

  // Column positions (in the table's field list) that make up the key, in order.
  const std::vector<std::size_t>& Columns() const { return columns_; }

  // Appends one key part to a joined key. Each part carries its length, so no text can run into
  // the next part whatever bytes it holds.
  static void AddPart(std::string& key, std::string_view part) {
    std::uint32_t length = static_cast<std::uint32_t>(part.size());
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
    key.append(part);
  }

  void Add(const std::string& key, std::uint32_t record) {
    std::vector<std::uint32_t>& rows = rows_[key];
    if (rows.empty() || rows.back() < record) {
      rows.push_back(record);  // appends arrive in file order
    } else {
      auto at = std::lower_bound(rows.begin(), rows.end(), record);
      if (at == rows.end() || *at != record) rows.insert(at, record);
    }
  }

  void Remove(const std::string& key, std::uint32_t record) {
    auto found = rows_.find(key);
    if (found == rows_.end()) return;
    std::vector<std::uint32_t>& rows = found->second;
    auto at = std::lower_bound(rows.begin(), rows.end(), record);
    if (at != rows.end() && *at == record) rows.erase(at);
    if (rows.empty()) rows_.erase(found);
  }

  // The first record after `after` (in file order) holding this key.
  std::optional<std::uint32_t> After(const std::string& key, std::uint32_t after) const {
    auto found = rows_.find(key);
    if (found == rows_.end()) return std::nullopt;
    auto at = std::upper_bound(found->second.begin(), found->second.end(), after);
    if (at == found->second.end()) return std::nullopt;
    return *at;
  }

  // The first record (in file order) holding this key.
  std::optional<std::uint32_t> First(const std::string& key) const {
    auto found = rows_.find(key);
    if (found == rows_.end() || found->second.empty()) return std::nullopt;
    return found->second.front();
  }

 private:
  std::vector<std::size_t> columns_;
  std::unordered_map<std::string, std::vector<std::uint32_t>> rows_;
};

}  // namespace tc::store::dbf
