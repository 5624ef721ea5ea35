// The logic of the time-template dialog, shared by the desktop dialog (which shows it) and the
// command line (which answers it with flags). Conversion mode preselects the first template;
// export mode preselects none and first opens the slot table.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "itaca/document.h"
#include "platform/file_system.h"

namespace tc {

namespace store {
class Database;
}

enum class TemplateDialogMode { Conversion = 0, Export = 2 };

// What the dialog yields when it closes (by "Continuar" or by its close box alike).
struct TemplateChoice {
  std::string code;                       // trimmed of blanks and control characters
  std::string shift;                      // caption of LabelTurno ("-" when none matched)
  std::vector<std::string> period_lines;  // ListBox1's items, sorted
  std::string language;                   // text of the dialog's language combo box
};

// One Monday period line, 19 characters for one- and two-digit orders: "%2s de HH:MM a HH:MM".
// An order of three or more characters is cut to three and moves the times one to the right.
std::string PeriodLine(std::string_view order, std::string_view from, std::string_view to);

// The chosen code as the dialog returns it: leading and trailing blanks and control characters
// removed.
std::string TrimTemplateCode(std::string_view text);

// The language of the texts from what a user wrote: "VALENCIÁ" or "CASTELLANO" in any letter
// case, the accent optional (Windows-1252); nullopt for any other text.
std::optional<std::string> LanguageOf(std::string_view text);
// The language a user named (LanguageOf), VALENCI� when none; throws Error (Usage) naming the
// text for any other.
std::string NamedLanguage(const std::optional<std::string>& text);

class TemplateDialog {
 public:
  // Activation. `language` is the main window's language text. In export mode the slot table
  // DIASHORAST of `slots` is opened first; when that fails, the error is kept in
  // ActivationError() and the dialog offers no template. Export mode preselects `preselected`
  // (the last conversion's template) when the document has it.
  TemplateDialog(const itaca::Document& document, TemplateDialogMode mode, std::string language,
                 const store::Database* slots = nullptr, std::string_view preselected = {});

  TemplateDialogMode Mode() const { return mode_; }
  // Texts of the dialog in its mode.
  std::string_view LanguagePrompt() const;  // Label9
  std::string_view Instruction() const;     // LabelPlantillas
  bool LanguageVisible() const { return mode_ == TemplateDialogMode::Conversion; }

  const std::vector<std::string>& Codes() const { return codes_; }  // ComboBoxPlantilla items
  const std::string& CodeText() const { return code_text_; }
  const std::string& Language() const { return language_; }
  const std::string& Description() const { return description_; }  // LabelNombre
  const std::string& Shift() const { return shift_; }              // LabelTurno
  const std::vector<std::string>& PeriodLines() const { return period_lines_; }  // ListBox1
  const std::optional<Error>& ActivationError() const { return activation_error_; }

  // A change of the template combo box's text or of the language combo box; refreshes.
  void SetCodeText(std::string text);
  void SetLanguage(std::string text);

  TemplateChoice Result() const;

  // "Continuar" is enabled only while the trimmed text is one of the document's codes.
  bool CanContinue() const;
  // Why a code typed elsewhere (the command line) cannot be taken: "La plantilla «NOPE» no está
  // en el documento; sus plantillas son: MATI, VESPRA." and, when only the letter case differs,
  // the code meant.
  std::string NotInDocument() const;

 private:
  void Refresh();

  const itaca::Document& document_;
  TemplateDialogMode mode_;
  std::vector<std::string> codes_;
  std::string code_text_;
  std::string language_;
  std::string description_ = "-";
  std::string shift_ = "-";
  std::vector<std::string> period_lines_;
  std::optional<Error> activation_error_;
};

// One of a document's time templates as the dialog shows it once its code is chosen.
struct TemplateListing {
  std::string code;
  std::string description;                // LabelNombre
  std::string shift;                      // LabelTurno
  std::vector<std::string> period_lines;  // ListBox1
};

// A document's time templates as the dialog in conversion mode shows each one when its code is
// chosen, in the combo box's order: the first is the one it preselects.
struct TemplateList {
  std::string language;  // the texts' language, one of the list's two
  std::vector<TemplateListing> templates;
};

// The time templates of the document `file`, with their texts in the language a user named
// (NamedLanguage, checked once the document is read). nullopt when there is no such file
// (InputExists); throws DocumentError when the document cannot be read.
std::optional<TemplateList> DocumentTemplates(
    const std::filesystem::path& file, const std::optional<std::string>& language,
    platform::FileSystem& files = platform::RealFileSystem());

}  // namespace tc
