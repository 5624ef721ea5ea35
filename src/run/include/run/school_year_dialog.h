// The logic of the destination school-year dialog: the year shown starts as the document's
// `curso`; every change of the combo box (a choice or each typed character) shows its text; the
// year shown when the dialog closes, however it closes, is the year written, as long as it is a
// year of four digits ("Continuar" is disabled otherwise, and closing keeps the document's year).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tc {

class SchoolYearDialog {
 public:
  // `current_year` is this year on the user's clock (0: read it).
  explicit SchoolYearDialog(std::string document_year, int current_year = 0);

  // The combo box's list: the document's year, the two before and after it, and the current
  // year, in ascending order.
  const std::vector<std::string>& Years() const { return years_; }
  const std::string& Shown() const { return shown_; }  // LabelCurActual
  const std::string& ComboText() const { return combo_text_; }
  void SetComboText(std::string text);  // ComboBoxCursoChange
  bool CanContinue() const { return IsYear(shown_); }
  std::string Close() const { return IsYear(shown_) ? shown_ : document_year_; }

  // Four digits and nothing else.
  static bool IsYear(std::string_view text);

 private:
  std::string document_year_;
  std::string shown_;
  std::string combo_text_;
  std::vector<std::string> years_;
};

}  // namespace tc
