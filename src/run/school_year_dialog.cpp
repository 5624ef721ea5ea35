#include "run/school_year_dialog.h"

#include <utility>

namespace tc {

// The year shown starts as the one read from the document; the combo box starts empty.
SchoolYearDialog::SchoolYearDialog(std::string document_year) : shown_(std::move(document_year)) {}

// The combo box's list. Other years, or any other text, can only be typed.
const std::vector<std::string>& SchoolYearDialog::Years() {
  static const std::vector<std::string> years = {"2010", "2011", "2012", "2013",
                                                 "2014", "2015", "2016", "2017",
                                                 "2018", "2019", "2020"};
  return years;
}

// Every change of the combo box, a choice from the list or one typed character, shows its text as
// the year to write; an empty text is accepted like any other.
void SchoolYearDialog::SetComboText(std::string text) {
  combo_text_ = std::move(text);
  shown_ = combo_text_;
}

}  // namespace tc
