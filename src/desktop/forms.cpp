#include "desktop/forms.h"

#include <algorithm>
#include <array>

namespace tc::desktop {

namespace {

constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kBlack{0x00, 0x00, 0x00};
constexpr Rgb kRed{0xFF, 0x00, 0x00};
constexpr Rgb kBlue{0x00, 0x00, 0xFF};
constexpr Rgb kYellow{0xFF, 0xFF, 0x00};

// The direction panels, and the bottom panel (also the school-year dialog's background).
constexpr Gradient kDirectionGradient{{0xF9, 0xD3, 0x7D}, kWhite, {0xFF, 0xEE, 0xDD}};
constexpr Gradient kBottomGradient{{0xC2, 0xCD, 0xFE}, {0xCF, 0xF2, 0xFE}, {0xCC, 0xD8, 0xE6}};
// Sky blue to white to the inactive title-bar colour (Windows' default given).
constexpr Gradient kTemplateGradient{{0xA6, 0xCA, 0xF0}, kWhite, {0xBF, 0xCD, 0xDB}, true};

constexpr Font kHeading{16, true};
constexpr Font kBold{12, true};

// The language box's entries; the first is its initial text.
constexpr std::string_view kLanguages = "VALENCI\xC1\nCASTELLANO";

using K = ControlKind;

// The main window: the two directions side by side over the bottom panel. The bottom panel
// overlaps the direction panels by one line and stays above them.
constexpr std::array<Control, 17> kMainControls{{
    {.kind = K::Panel, .name = "Draw3D2", .rect = {0, 0, 315, 169},
     .gradient = kDirectionGradient, .help_context = kHelpContextDirection},
    {.kind = K::Label, .name = "LabelExportar", .parent = "Draw3D2", .rect = {8, 10, 299, 44},
     .text = "Transformar datos desde ITACA hacia Clepsa ", .font = kHeading, .word_wrap = true,
     .centred = true},
    {.kind = K::Label, .name = "Label9", .parent = "Draw3D2", .rect = {24, 72, 130, 20},
     .text = "Recoger Textos en:", .font = kBold, .text_colour = kRed},
    {.kind = K::ComboBox, .name = "ComboBoxValCast", .parent = "Draw3D2",
     .rect = {160, 70, 130, 22}, .text = "VALENCI\xC1", .items = kLanguages,
     .help_context = kHelpContextWindow, .pick_list = true},
    {.kind = K::OkButton, .name = "BExportar", .parent = "Draw3D2", .rect = {120, 118, 75, 28},
     .text = "OK", .accessible_name = "Transformar datos desde ITACA hacia Clepsa",
     .help_context = kHelpContextDirection},
    {.kind = K::Panel, .name = "Draw3D3", .rect = {316, 0, 317, 169},
     .gradient = kDirectionGradient, .help_context = kHelpContextDirection},
    {.kind = K::Label, .name = "LabelImportar", .parent = "Draw3D3", .rect = {8, 10, 301, 44},
     .text = "Transformar datos desde Clepsa hacia ITACA", .font = kHeading, .word_wrap = true,
     .centred = true},
    {.kind = K::OkButton, .name = "BImportar", .parent = "Draw3D3", .rect = {121, 118, 75, 28},
     .text = "OK", .accessible_name = "Transformar datos desde Clepsa hacia ITACA",
     .help_context = kHelpContextDirection},
    {.kind = K::Panel, .name = "Draw3D1", .rect = {0, 168, 633, 97}, .gradient = kBottomGradient},
    {.kind = K::Label, .name = "Label1", .parent = "Draw3D1", .rect = {410, 8, 216, 20},
     .text = "TransClepsaITACA para PX17 V-1.0", .font = kBold, .text_colour = kRed},
    {.kind = K::ListBox, .name = "ListBoxPlanti", .parent = "Draw3D1", .rect = {300, 8, 100, 80},
     .visible = false},
    {.kind = K::CloseButton, .name = "BClose", .parent = "Draw3D1", .rect = {410, 33, 90, 30},
     .text = "&Salir"},
    {.kind = K::Button, .name = "Button1", .parent = "Draw3D1", .rect = {516, 33, 90, 30},
     .text = "F1 Ayuda", .help_context = kHelpContextWindow},
    // Where the user stands, the backups and undo, and the preview question.
    {.kind = K::Label, .name = "LabelSituacion", .parent = "Draw3D1", .rect = {8, 3, 396, 57},
     .font = {11, false}, .word_wrap = true},
    {.kind = K::Button, .name = "BCopias", .parent = "Draw3D1", .rect = {8, 62, 140, 28},
     .text = "Copias de seguridad", .help_context = kHelpContextBackups},
    {.kind = K::Button, .name = "BDeshacerUltima", .parent = "Draw3D1",
     .rect = {154, 62, 200, 28}, .text = "Deshacer la \xFAltima transformaci\xF3n",
     .help_context = kHelpContextBackups},
    {.kind = K::CheckBox, .name = "CheckPreguntar", .parent = "Draw3D1",
     .rect = {362, 66, 264, 22}, .text = "Preguntar antes de sustituir las tablas",
     .help_context = kHelpContextPreview},
}};

constexpr Form kMainForm{.name = "MForm",
                         .caption = "Exportar e importar datos entre Clepsa e ITACA",
                         .width = 632,
                         .height = 266,
                         .help_context = kHelpContextWindow,
                         .controls = kMainControls};

// The template dialog. The texts of Label9 and LabelPlantillas depend on its mode and come from
// its logic (TemplateDialog).
constexpr std::array<Control, 12> kTemplateControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 385, 304}, .gradient = kTemplateGradient},
    {.kind = K::Label, .name = "Label9", .parent = "Panel1", .rect = {10, 12, 236, 18},
     .font = kBold, .text_colour = kRed},
    {.kind = K::ComboBox, .name = "ComboBoxValCast", .parent = "Panel1",
     .rect = {250, 9, 122, 22}, .text = "VALENCI\xC1", .items = kLanguages, .pick_list = true},
    {.kind = K::Label, .name = "LabelPlantillas", .parent = "Panel1", .rect = {10, 40, 362, 34},
     .font = {13, true}, .word_wrap = true},
    {.kind = K::ComboBox, .name = "ComboBoxPlantilla", .parent = "Panel1",
     .rect = {10, 84, 150, 22}, .background = kYellow},
    {.kind = K::Label, .name = "Label3", .parent = "Panel1", .rect = {172, 84, 50, 18},
     .text = "Horario:"},
    {.kind = K::Label, .name = "LabelNombre", .parent = "Panel1", .rect = {224, 86, 150, 44},
     .text = "-", .word_wrap = true},
    {.kind = K::Label, .name = "Label2", .parent = "Panel1", .rect = {172, 134, 50, 18},
     .text = "Turno:"},
    {.kind = K::Label, .name = "LabelTurno", .parent = "Panel1", .rect = {224, 134, 150, 18},
     .text = "-"},
    {.kind = K::Label, .name = "Label1", .parent = "Panel1", .rect = {10, 114, 100, 18},
     .text = "HORAS"},
    {.kind = K::ListBox, .name = "ListBox1", .parent = "Panel1", .rect = {10, 132, 150, 160},
     .accessible_name = "Horas"},
    {.kind = K::OkButton, .name = "BitBtnContinuar", .parent = "Panel1",
     .rect = {262, 262, 110, 30}, .text = "Continuar", .is_default = true,
     .answer = Answer::Accept},
}};

constexpr Form kTemplateForm{.name = "TPlantillas",
                             .caption = "Plantillas Horarias",
                             .width = 385,
                             .height = 304,
                             .place = Rect{444, 334, 385, 304},
                             .resizable = true,
                             .help_context = kHelpContextWindow,
                             .controls = kTemplateControls};

// The school-year dialog. LabelCurActual shows the year that will be written; the combo box's
// entries are the years SchoolYearDialog offers.
constexpr std::array<Control, 7> kSchoolYearControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 396, 177}, .gradient = kBottomGradient},
    {.kind = K::Label, .name = "LabelCurso", .parent = "Panel1", .rect = {12, 8, 372, 34},
     .text = "Seleccione el Curso para el que quiere Exportar el Resultado del Horario.",
     .font = kBold, .text_colour = kBlack, .word_wrap = true},
    {.kind = K::Label, .name = "LabelCurSelected", .parent = "Panel1", .rect = {12, 56, 210, 18},
     .text = "Curso seleccionado actualmente:", .font = kBold, .text_colour = kBlue},
    {.kind = K::Label, .name = "LabelCurActual", .parent = "Panel1", .rect = {226, 52, 160, 24},
     .text = "-", .font = kHeading, .text_colour = kRed},
    {.kind = K::Label, .name = "LabelSeleccion", .parent = "Panel1", .rect = {12, 92, 280, 18},
     .text = "Curso para el que se efectuar\xE1 la Exportaci\xF3n:", .font = kBold,
     .text_colour = kRed},
    {.kind = K::ComboBox, .name = "ComboBoxCurso", .parent = "Panel1", .rect = {296, 89, 88, 22}},
    {.kind = K::OkButton, .name = "BitBtnContinuar", .parent = "Panel1",
     .rect = {143, 134, 110, 30}, .text = "Continuar", .is_default = true,
     .answer = Answer::Accept},
}};

constexpr Form kSchoolYearForm{.name = "TCurExp",
                               .caption = "Curso de destino",
                               .width = 396,
                               .height = 177,
                               .help_context = kHelpContextWindow,
                               .controls = kSchoolYearControls};

constexpr Gradient kPlainGradient{kWhite, kWhite, kWhite};

constexpr Font kText{13, false};
constexpr std::uint8_t kBottomLeft = kFollowBottom;
constexpr std::uint8_t kBottomRight = kFollowBottom | kFollowRight;
constexpr std::uint8_t kGrow = kGrowWidth | kGrowHeight;

// The text windows: the text wrapped in a proportional font, growing with the window; saving,
// copying and printing it on the left, the window's own buttons on the right.
constexpr Control TextTool(std::string_view name, std::string_view text, int left, int top) {
  return {.kind = K::Button, .name = name, .parent = "Panel1", .rect = {left, top, 100, 30},
          .text = text, .anchors = kBottomLeft};
}
constexpr std::string_view kSaveText = "Guardar\x85";  // with an ellipsis

constexpr std::array<Control, 6> kReportControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 640, 480}, .gradient = kPlainGradient},
    {.kind = K::TextBox, .name = "Texto", .parent = "Panel1", .rect = {8, 8, 624, 424},
     .accessible_name = "Informe de la ejecuci\xF3n", .font = kText, .word_wrap = true,
     .anchors = kGrow},
    TextTool("BGuardar", kSaveText, 8, 440),
    TextTool("BCopiar", "Copiar", 116, 440),
    TextTool("BImprimir", "Imprimir", 224, 440),
    {.kind = K::OkButton, .name = "BCerrar", .parent = "Panel1", .rect = {522, 440, 110, 30},
     .text = "Cerrar", .is_default = true, .answer = Answer::Accept, .anchors = kBottomRight},
}};

constexpr Form kReportForm{.name = "TInforme",
                           .caption = "Informe de la ejecuci\xF3n",
                           .width = 640,
                           .height = 480,
                           .resizable = true,
                           .help_context = kHelpContextReport,
                           .controls = kReportControls};

constexpr std::array<Control, 5> kPreviewQuestionControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 430, 150}, .gradient = kBottomGradient},
    {.kind = K::Label, .name = "LabelPregunta", .parent = "Panel1", .rect = {12, 10, 406, 72},
     .text = "Las nuevas tablas de Clepsa est\xE1n preparadas. \xBFQuiere ver qu\xE9 filas se "
             "a\xF1" "aden, se quitan y cambian antes de sustituir las tablas de la carpeta de "
             "trabajo?",
     .font = kBold, .word_wrap = true},
    {.kind = K::CheckBox, .name = "NoPreguntar", .parent = "Panel1", .rect = {12, 84, 300, 20},
     .text = "No volver a preguntar"},
    {.kind = K::OkButton, .name = "BSi", .parent = "Panel1", .rect = {206, 112, 100, 28},
     .text = "&S\xED", .is_default = true, .answer = Answer::Accept},
    {.kind = K::Button, .name = "BNo", .parent = "Panel1", .rect = {318, 112, 100, 28},
     .text = "&No", .answer = Answer::No},
}};

constexpr Form kPreviewQuestionForm{.name = "TPreguntaVistaPrevia",
                                    .caption = "TransClepsaItaca",
                                    .width = 430,
                                    .height = 150,
                                    .help_context = kHelpContextPreview,
                                    .controls = kPreviewQuestionControls};

constexpr std::array<Control, 7> kPreviewControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 700, 480}, .gradient = kPlainGradient},
    {.kind = K::TextBox, .name = "Texto", .parent = "Panel1", .rect = {8, 8, 684, 424},
     .accessible_name = "Cambios en las tablas de Clepsa", .font = kText, .word_wrap = true,
     .anchors = kGrow},
    TextTool("BGuardar", kSaveText, 8, 440),
    TextTool("BCopiar", "Copiar", 116, 440),
    TextTool("BImprimir", "Imprimir", 224, 440),
    {.kind = K::OkButton, .name = "BSustituir", .parent = "Panel1", .rect = {412, 440, 160, 30},
     .text = "Sustituir las tablas", .answer = Answer::Accept, .anchors = kBottomRight},
    {.kind = K::CloseButton, .name = "BCancelar", .parent = "Panel1",
     .rect = {582, 440, 110, 30}, .text = "Cancelar", .is_default = true,
     .answer = Answer::Reject, .anchors = kBottomRight},
}};

constexpr Form kPreviewForm{.name = "TVistaPrevia",
                            .caption = "Cambios en las tablas de Clepsa",
                            .width = 700,
                            .height = 480,
                            .resizable = true,
                            .help_context = kHelpContextPreview,
                            .controls = kPreviewControls};

constexpr std::array<Control, 7> kFinishedControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 560, 360}, .gradient = kBottomGradient},
    {.kind = K::Label, .name = "LabelFinalizado", .parent = "Panel1", .rect = {12, 10, 536, 24},
     .text = "Proceso finalizado", .font = kHeading},
    {.kind = K::TextBox, .name = "Resumen", .parent = "Panel1", .rect = {12, 40, 536, 262},
     .accessible_name = "Resumen", .font = {13, false, true}, .anchors = kGrow},
    {.kind = K::Button, .name = "BVerInforme", .parent = "Panel1", .rect = {12, 314, 110, 30},
     .text = "Ver informe", .anchors = kBottomLeft},
    {.kind = K::Button, .name = "BDeshacer", .parent = "Panel1", .rect = {130, 314, 110, 30},
     .text = "Deshacer", .help_context = kHelpContextBackups, .anchors = kBottomLeft},
    {.kind = K::Button, .name = "BAbrirCarpeta", .parent = "Panel1", .rect = {248, 314, 130, 30},
     .text = "Abrir la carpeta", .anchors = kBottomLeft},
    {.kind = K::OkButton, .name = "BAceptar", .parent = "Panel1", .rect = {438, 314, 110, 30},
     .text = "Aceptar", .is_default = true, .answer = Answer::Accept, .anchors = kBottomRight},
}};

constexpr Form kFinishedForm{.name = "TFinalizado",
                             .caption = "TransClepsaItaca",
                             .width = 560,
                             .height = 360,
                             .resizable = true,
                             .help_context = kHelpContextFinished,
                             .controls = kFinishedControls};

constexpr std::array<Control, 8> kBackupsControls{{
    {.kind = K::Panel, .name = "Panel1", .rect = {0, 0, 660, 440}, .gradient = kPlainGradient},
    {.kind = K::Label, .name = "LabelCopias", .parent = "Panel1", .rect = {8, 8, 644, 18},
     .text = "Las tablas de Clepsa tal como estaban antes de cada ejecuci\xF3n (la m\xE1s "
             "reciente arriba):",
     .font = kBold, .anchors = kGrowWidth},
    {.kind = K::ListBox, .name = "ListaCopias", .parent = "Panel1", .rect = {8, 30, 644, 180},
     .accessible_name = "Copias de seguridad", .font = kText, .anchors = kGrowWidth},
    {.kind = K::Label, .name = "LabelDetalle", .parent = "Panel1", .rect = {8, 218, 644, 18},
     .text = "La copia elegida:", .font = kBold},
    {.kind = K::TextBox, .name = "Detalle", .parent = "Panel1", .rect = {8, 238, 644, 150},
     .accessible_name = "La copia elegida", .font = kText, .word_wrap = true, .anchors = kGrow},
    {.kind = K::Button, .name = "BVerInforme", .parent = "Panel1", .rect = {8, 398, 110, 30},
     .text = "Ver informe", .anchors = kBottomLeft},
    {.kind = K::Button, .name = "BReponer", .parent = "Panel1", .rect = {126, 398, 110, 30},
     .text = "Reponer", .anchors = kBottomLeft},
    {.kind = K::CloseButton, .name = "BCerrar", .parent = "Panel1", .rect = {542, 398, 110, 30},
     .text = "Cerrar", .is_default = true, .answer = Answer::Reject, .anchors = kBottomRight},
}};

constexpr Form kBackupsForm{.name = "TCopias",
                            .caption = "Copias de seguridad",
                            .width = 660,
                            .height = 440,
                            .resizable = true,
                            .help_context = kHelpContextBackups,
                            .controls = kBackupsControls};

}  // namespace

const Form& ReportForm() { return kReportForm; }
const Form& PreviewQuestionForm() { return kPreviewQuestionForm; }
const Form& PreviewForm() { return kPreviewForm; }
const Form& FinishedForm() { return kFinishedForm; }
const Form& BackupsForm() { return kBackupsForm; }

Rect Anchored(const Control& control, int form_width, int form_height, int width, int height) {
  const int dx = std::max(width, 0) - form_width;
  const int dy = std::max(height, 0) - form_height;
  Rect rect = control.rect;
  if (control.anchors & kFollowRight) rect.left += dx;
  if (control.anchors & kFollowBottom) rect.top += dy;
  if (control.anchors & kGrowWidth) rect.width = std::max(rect.width + dx, 40);
  if (control.anchors & kGrowHeight) rect.height = std::max(rect.height + dy, 40);
  return rect;
}

const Form& MainForm() { return kMainForm; }
const Form& TemplateForm() { return kTemplateForm; }
const Form& SchoolYearForm() { return kSchoolYearForm; }

const Control* FindControl(const Form& form, std::string_view name) {
  for (const Control& control : form.controls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

}  // namespace tc::desktop
