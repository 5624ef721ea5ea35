#include "run/template_dialog.h"

#include <algorithm>
#include <utility>

#include "base/codepage.h"
#include "base/error.h"
#include "conversion/conversion.h"
#include "run/workplace.h"
#include "store/database.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc {

namespace {

// Captions of the dialog in its two modes.
constexpr std::string_view kPromptConversion = "Recoger Textos en: -------------->";
constexpr std::string_view kPromptExport = "EXPORTACI\xD3N A ITACA";  // EXPORTACIÓN
constexpr std::string_view kInstructionConversion =
    "Seleccione la Plantilla Horaria que quiere aplicar a su Horario en Clepsa.";
constexpr std::string_view kInstructionExport =
    "Seleccione la Plantilla Horaria que quiere aplicar para Exportar su Horario a ITACA.";

// Caption of LabelNombre and LabelTurno when no template matches.
constexpr std::string_view kNoMatch = "-";

// Only Monday's periods make up the period list.
constexpr std::string_view kMonday = "L";

// The combo box's trimming treats every character up to the blank as blank, as the dialog's
// own trimming does.
bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::string PeriodLine(std::string_view order, std::string_view from, std::string_view to) {
  std::string line;
  if (order.size() < 2) line.append(2 - order.size(), ' ');
  // Three characters at most: a longer order loses its tail, a three-digit one shifts the times.
  line.append(order.substr(0, 3));
  line.append(" de ");
  line.append(from);
  line.append(" a ");
  line.append(to);
  return line;
}

std::string TrimTemplateCode(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::optional<std::string> LanguageOf(std::string_view text) {
  std::string folded;
  for (const char c : TrimTemplateCode(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0xC1 || byte == 0xE1 || byte == 0xC0 || byte == 0xE0) {  // Á á À à
      folded += 'A';
    } else {
      folded += c;
    }
  }
  folded = AsciiUpperCase(folded);
  if (folded == "VALENCIA") return std::string(kValencian);
  if (folded == kCastilian) return std::string(kCastilian);
  return std::nullopt;
}

TemplateDialog::TemplateDialog(const itaca::Document& document, TemplateDialogMode mode,
                               std::string language, const store::Database* slots,
                               std::string_view preselected)
    : document_(document), mode_(mode), language_(kValencian) {
  // Export mode opens the slot table before anything else. Without it (no conversion has been
  // run in the working folder) the rest of the activation is skipped: no codes, no periods.
  if (mode_ == TemplateDialogMode::Export && slots != nullptr) {
    try {
      store::Table table =
          store::Table::Open(slots->TablePath(store::DiashorastTable().name),
                             store::OpenMode::Exclusive);
      table.First();
      table.Close();
    } catch (const Error& error) {
      activation_error_ = error;
      return;
    }
  }

  language_ = std::move(language);

  const itaca::ElementList templates = document_.Select(itaca::kTemplates);
  if (!templates.Empty()) {
    codes_.clear();
    // Duplicates are listed as they come, like the combo box does.
    for (const itaca::Element& element : templates) codes_.push_back(element.DialogAttr("codigo"));
  }

  if (mode_ == TemplateDialogMode::Conversion && !codes_.empty()) {
    code_text_ = codes_.front();
  } else if (mode_ == TemplateDialogMode::Export && !preselected.empty() &&
             std::find(codes_.begin(), codes_.end(), preselected) != codes_.end()) {
    code_text_ = std::string(preselected);
  } else {
    code_text_.clear();
  }
  Refresh();
}

std::string_view TemplateDialog::LanguagePrompt() const {
  return mode_ == TemplateDialogMode::Export ? kPromptExport : kPromptConversion;
}

std::string_view TemplateDialog::Instruction() const {
  return mode_ == TemplateDialogMode::Export ? kInstructionExport : kInstructionConversion;
}

void TemplateDialog::SetCodeText(std::string text) {
  code_text_ = std::move(text);
  Refresh();
}

void TemplateDialog::SetLanguage(std::string text) {
  language_ = std::move(text);
  Refresh();
}

TemplateChoice TemplateDialog::Result() const {
  return TemplateChoice{TrimTemplateCode(code_text_), shift_, period_lines_, language_};
}

bool TemplateDialog::CanContinue() const {
  const std::string code = TrimTemplateCode(code_text_);
  return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

std::string TemplateDialog::NotInDocument() const {
  const std::string code = TrimTemplateCode(code_text_);
  std::vector<std::string> listed;
  std::string meant;
  for (const std::string& candidate : codes_) {
    if (std::find(listed.begin(), listed.end(), candidate) != listed.end()) continue;
    listed.push_back(candidate);
    if (meant.empty() && AsciiUpperCase(candidate) == AsciiUpperCase(code)) meant = candidate;
  }
  std::string text = "La plantilla \xAB" + code + "\xBB no est\xE1 en el documento; ";
  if (listed.empty()) {
    text += "el documento no tiene plantillas.";
  } else {
    text += "sus plantillas son: ";
    for (std::size_t i = 0; i < listed.size(); ++i) text += (i > 0 ? ", " : "") + listed[i];
    text += ".";
  }
  if (!meant.empty()) text += " \xBFQuer\xED" "a decir \xAB" + meant + "\xBB?";  // ¿Quería
  return text;
}

void TemplateDialog::Refresh() {
  // Description and shift: the last template whose code is exactly the combo box's text,
  // trimmed as the result is, so that what the dialog shows is what the stages use.
  const std::string code = TrimTemplateCode(code_text_);
  description_ = kNoMatch;
  shift_ = kNoMatch;
  const bool valencian = language_ == kValencian;
  for (const itaca::Element& element : document_.Select(itaca::kTemplates)) {
    if (element.DialogAttr("codigo") != code) continue;
    description_ = element.DialogAttr(valencian ? "descripcion_val" : "descripcion_cas");
    shift_ = element.DialogAttr("turno");
  }

  // Period lines: by the list rule a single period in the whole document counts as none, and
  // then the list keeps what it held before.
  const itaca::ElementList periods = document_.Select(itaca::kPeriods);
  if (periods.Listed().empty()) return;
  period_lines_.clear();
  for (const itaca::Element& element : periods.Listed()) {
    if (element.DialogAttr("plantilla") != code) continue;
    if (element.DialogAttr("dia_semana") != kMonday) continue;
    period_lines_.push_back(PeriodLine(element.DialogAttr("sesion_orden"),
                                       element.DialogAttr("hora_desde"),
                                       element.DialogAttr("hora_hasta")));
  }
  // The list box keeps its lines in ascending text order; the blank in front of a one-digit
  // order sorts before the digits, so orders 1 to 99 come out in numeric order.
  std::stable_sort(period_lines_.begin(), period_lines_.end());
}

std::string NamedLanguage(const std::optional<std::string>& text) {
  if (!text) return std::string(kValencian);
  if (std::optional<std::string> language = LanguageOf(*text)) return *language;
  throw Error("El idioma \xAB" + *text +
                  "\xBB no es ninguno de los de la lista: VALENCI\xC1 o CASTELLANO.",
              ErrorKind::Usage);
}

std::optional<TemplateList> DocumentTemplates(const std::filesystem::path& file,
                                              const std::optional<std::string>& language,
                                              platform::FileSystem& files) {
  if (!InputExists(files, file)) return std::nullopt;
  const itaca::Document document =
      itaca::Document::Load(file, files, {}, itaca::DigestTaken::WhenAsked);
  TemplateList list;
  list.language = NamedLanguage(language);
  TemplateDialog dialog(document, TemplateDialogMode::Conversion, list.language);
  for (const std::string& code : dialog.Codes()) {
    dialog.SetCodeText(code);
    list.templates.push_back({code, dialog.Description(), dialog.Shift(), dialog.PeriodLines()});
  }
  return list;
}

}  // namespace tc
