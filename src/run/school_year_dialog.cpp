#include "run/school_year_dialog.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <utility>

#include "platform/platform.h"

namespace tc {

// The year shown starts as the one read from the document; the combo box starts empty.
SchoolYearDialog::SchoolYearDialog(std::string document_year, int current_year)
    : document_year_(document_year), shown_(std::move(document_year)) {
  if (current_year == 0) current_year = platform::LocalNow().tm_year + 1900;
  std::set<int> years{current_year};
  if (IsYear(document_year_)) {
    const int year = std::stoi(document_year_);
    for (int offset = -2; offset <= 2; ++offset) {
      if (year + offset >= 1000 && year + offset <= 9999) years.insert(year + offset);
    }
  }
  for (const int year : years) years_.push_back(std::to_string(year));
}

// Every change of the combo box, a choice from the list or one typed character, shows its text as
// the year to write.
void SchoolYearDialog::SetComboText(std::string text) {
  combo_text_ = std::move(text);
  shown_ = combo_text_;
}

bool SchoolYearDialog::IsYear(std::string_view text) {
  return text.size() == 4 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace tc
