// What the desktop programs show, in one place for both of them: every window's caption, size
// and help context, and every control's kind, name, place, text, font, colour and help context.
// The Qt program and the Windows program build their windows from these descriptions and add
// nothing of their own but the toolkit's calls. Texts are Windows-1252, as in the core.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tc::desktop {

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A three-colour gradient from the top edge (start) through the middle to the bottom edge (end).
// When `end_is_inactive_caption` is set the end colour is the system's inactive title-bar colour
// (`end` holds Windows' default for systems without one).
struct Gradient {
  Rgb start, middle, end;
  bool end_is_inactive_caption = false;
};

enum class ControlKind {
  Panel,        // a gradient panel; the controls naming it as parent sit on it
  Label,        // static text
  ComboBox,     // an editable combo box
  ListBox,      // a list box
  TextBox,      // a read-only text of several lines, with scroll bars
  CheckBox,     // a check box with its caption
  OkButton,     // a push button with the system's OK mark
  CloseButton,  // a push button with the system's close mark
  Button,       // a plain push button
};

struct Font {
  int pixels = 12;  // Arial (or a font with its metrics), in pixels
  bool bold = false;
  bool fixed_pitch = false;  // a fixed-pitch font instead (Courier New, or its metrics' match)
};

// What a button does to the dialog it sits on: closes it with that answer, or nothing of its
// own (the main window's buttons). Reject is also what Escape and the close box answer; No is a
// button's own answer, which no key gives.
enum class Answer { None, Accept, Reject, No };

struct Control {
  ControlKind kind;
  std::string_view name;    // the name the program and its tests know it by: "BExportar"
  std::string_view parent;  // the panel it sits on; "" for the window itself
  Rect rect;                // relative to its parent
  std::string_view text;    // caption or initial text
  std::string_view items;   // combo boxes: the entries of the list, separated by '\n'
  // What assistive technology (a screen reader, a test driving the program from outside) calls a
  // control whose own text does not say what it is: the text boxes, the lists, the two "OK".
  std::string_view accessible_name;
  Font font{};
  std::optional<Rgb> text_colour{};  // default: the system's
  std::optional<Rgb> background{};   // combo boxes and list boxes: default the system's
  std::optional<Gradient> gradient{};  // panels
  int help_context = 0;              // 0: the window's
  bool word_wrap = false;
  bool centred = false;              // labels: text centred horizontally
  bool visible = true;
  bool is_default = false;           // the button Enter presses
  bool pick_list = false;            // combo boxes: only the entries of the list can be chosen
  Answer answer = Answer::None;      // buttons of a dialog: the answer it closes the dialog with
  // In a resizable window (whose first control, "Panel1", fills it): how the control follows
  // the window's size (kGrowWidth, kGrowHeight, kFollowRight, kFollowBottom).
  std::uint8_t anchors = 0;
};

inline constexpr std::uint8_t kGrowWidth = 1;     // as much wider as the window
inline constexpr std::uint8_t kGrowHeight = 2;    // as much higher
inline constexpr std::uint8_t kFollowRight = 4;   // moves with the right edge
inline constexpr std::uint8_t kFollowBottom = 8;  // moves with the bottom edge

// A control's place in a window of `width` x `height` whose description is `form`'s size.
Rect Anchored(const Control& control, int form_width, int form_height, int width, int height);

struct Form {
  std::string_view name;     // "MForm", "TPlantillas", "TCurExp"
  std::string_view caption;
  int width = 0, height = 0;   // client area
  std::optional<Rect> place;   // screen position when fixed; centred when not
  bool resizable = false;
  int help_context = 0;
  std::span<const Control> controls;
};

// The main window "Exportar e importar datos entre Clepsa e ITACA", the template dialog
// "Plantillas Horarias" and the school-year dialog "Curso de destino".
const Form& MainForm();
const Form& TemplateForm();
const Form& SchoolYearForm();

// After a completed run: the run's report ("Ver informe" beside "Proceso finalizado"), shown in
// its TextBox "Texto".
const Form& ReportForm();
// Before a conversion replaces Clepsa's tables, when the user has not turned it off: whether to
// see the changes first (Yes/No, and the CheckBox "NoPreguntar"), then the changes themselves in
// the TextBox "Texto" with "Sustituir las tablas" (Accept) and "Cancelar" (Reject).
const Form& PreviewQuestionForm();
const Form& PreviewForm();
// After a completed run: "Proceso finalizado" with the run's summary in the TextBox "Resumen",
// "Ver informe", "Deshacer" (the backup the run kept), "Abrir la carpeta" (of the document
// written) and "Aceptar".
const Form& FinishedForm();
// "Copias de seguridad": the backups in the ListBox "ListaCopias" (newest first), the one chosen
// in the TextBox "Detalle", "Ver informe", "Reponer" and "Cerrar".
const Form& BackupsForm();

// The description of a control by name; nullptr when the form has none of that name.
const Control* FindControl(const Form& form, std::string_view name);

// Help contexts: the window, its language box, the help button and the dialogs; the two
// directions (panels and their buttons).
inline constexpr int kHelpContextWindow = 1;
inline constexpr int kHelpContextDirection = 3;
// This program's own windows: the preview, the report, the finished window, the backups.
inline constexpr int kHelpContextPreview = 10;
inline constexpr int kHelpContextReport = 11;
inline constexpr int kHelpContextFinished = kHelpContextReport;
inline constexpr int kHelpContextBackups = 13;

// The names of the controls the program itself works with.
namespace names {
inline constexpr std::string_view kConversionPanel = "Draw3D2";  // ITACA -> Clepsa
inline constexpr std::string_view kExportPanel = "Draw3D3";      // Clepsa -> ITACA
inline constexpr std::string_view kBottomPanel = "Draw3D1";
inline constexpr std::string_view kConvert = "BExportar";
inline constexpr std::string_view kExport = "BImportar";
inline constexpr std::string_view kClose = "BClose";
inline constexpr std::string_view kHelp = "Button1";
inline constexpr std::string_view kLanguage = "ComboBoxValCast";
inline constexpr std::string_view kPeriods = "ListBoxPlanti";
inline constexpr std::string_view kTemplateCode = "ComboBoxPlantilla";
inline constexpr std::string_view kTemplateLanguage = "ComboBoxValCast";
inline constexpr std::string_view kTemplatePrompt = "Label9";
inline constexpr std::string_view kTemplateInstruction = "LabelPlantillas";
inline constexpr std::string_view kTemplateDescription = "LabelNombre";
inline constexpr std::string_view kTemplateShift = "LabelTurno";
inline constexpr std::string_view kTemplatePeriods = "ListBox1";
inline constexpr std::string_view kContinue = "BitBtnContinuar";
inline constexpr std::string_view kText = "Texto";             // report and preview
inline constexpr std::string_view kDontAskAgain = "NoPreguntar";  // preview question
inline constexpr std::string_view kYearShown = "LabelCurActual";
inline constexpr std::string_view kYearCombo = "ComboBoxCurso";
// The main window's bottom panel: where the user stands, the backups, undo, the preview question.
inline constexpr std::string_view kSituation = "LabelSituacion";
inline constexpr std::string_view kBackups = "BCopias";
inline constexpr std::string_view kUndoLast = "BDeshacerUltima";
inline constexpr std::string_view kAskPreview = "CheckPreguntar";
// The text windows, the finished window and the backups window.
inline constexpr std::string_view kSave = "BGuardar";
inline constexpr std::string_view kCopy = "BCopiar";
inline constexpr std::string_view kPrint = "BImprimir";
inline constexpr std::string_view kSummary = "Resumen";
inline constexpr std::string_view kViewReport = "BVerInforme";
inline constexpr std::string_view kUndo = "BDeshacer";
inline constexpr std::string_view kOpenFolder = "BAbrirCarpeta";
inline constexpr std::string_view kAccept = "BAceptar";
inline constexpr std::string_view kBackupList = "ListaCopias";
inline constexpr std::string_view kBackupDetail = "Detalle";
inline constexpr std::string_view kRestore = "BReponer";
}  // namespace names

// The message boxes, the standard error box and the file dialog.
inline constexpr std::string_view kAppTitle = "TransClepsaItaca";  // every box's caption
inline constexpr std::string_view kOkCaption = "Aceptar";
inline constexpr std::string_view kYesCaption = "S\xED";  // Sí
inline constexpr std::string_view kNoCaption = "No";
inline constexpr std::string_view kFileDialogTitle = "Archivo XML";
inline constexpr std::string_view kFileDialogFilter = "*.xml";
inline constexpr std::string_view kFileDialogExtension = "xml";

// The help file, looked up beside the executable, and the host's outcome file.
inline constexpr std::string_view kHelpFile = "ITACA.chm";
inline constexpr std::string_view kOutcomeFile = "Clepsa.ini";
inline constexpr std::string_view kOutcomeSection = "Transformadores";
inline constexpr std::string_view kOutcomeKey = "Transformado";

// The program's own settings, beside the executable.
inline constexpr std::string_view kSettingsFile = "TransClepsaItaca.ini";
inline constexpr std::string_view kSettingsSection = "Opciones";
inline constexpr std::string_view kAskPreviewKey = "PreguntarVistaPrevia";  // "1" or "0"

}  // namespace tc::desktop
