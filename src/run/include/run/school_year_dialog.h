// The logic of the destination school-year dialog: the year shown starts as the document's
// `curso`; every change of the combo box (a choice or each typed character) shows its text; the
// year shown when the dialog closes, however it closes, is the year written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tc {

class SchoolYearDialog {
 public:
  explicit SchoolYearDialog(std::string document_year);

  static const std::vector<std::string>& Years();  // "2010" to "2020"
  const std::string& Shown() const { return shown_; }  // LabelCurActual
  const std::string& ComboText() const { return combo_text_; }
  void SetComboText(std::string text);  // ComboBoxCursoChange
  std::string Close() const { return shown_; }

 private:
  std::string shown_;
  std::string combo_text_;
};

}  // namespace tc
