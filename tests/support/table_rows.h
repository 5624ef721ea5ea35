// Working tables read back as rows of text, for tests that look at what a run wrote.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tc::test {

// Every live row of a table as field name -> text (GetText of each field), in file order.
using Row = std::map<std::string, std::string>;
std::vector<Row> ReadRows(const std::filesystem::path& table_file);

}  // namespace tc::test
