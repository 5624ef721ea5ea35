// A table file as reviewable text, read straight from its bytes (not through the table engine):
// the header's fields, every field descriptor and every record, so that two files with the same
// text are the same bytes apart from the date of the last update.
#pragma once

#include <string>
#include <string_view>

namespace tc::test {

// Level-7 and dBase III layouts. Character values are shown as UTF-8 text between bars,
// binary values as hex with their decoded value; anything unexpected is shown as hex too.
std::string DbfAsText(std::string_view bytes);

}  // namespace tc::test
