// The Windows program standalone, driven from outside as a person uses it: the main window as
// described, a whole conversion and a whole export of the sample school through every dialog,
// box and question, with the same tables and document as transclepsa.exe makes from the same
// answers; a missing file, an error, and one completed run per start.
#include "win32_testing.h"

#include "base/codepage.h"
#include "platform/platform.h"
#include "conversion/conversion.h"
#include "run/run_state.h"

namespace tc::win32::testing {
namespace {

using drive::Box;

const desktop::Form& kMain = desktop::MainForm();
const desktop::Form& kTemplates = desktop::TemplateForm();
const desktop::Form& kYear = desktop::SchoolYearForm();

using DesktopProgram = ProgramTest;

// The width of `text` in `font`, on the screen.
int TextWidth(const LOGFONTW& font, std::wstring_view text) {
  HDC dc = GetDC(nullptr);
  HFONT created = CreateFontIndirectW(&font);
  HGDIOBJ old = SelectObject(dc, created);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(created);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

TEST_F(DesktopProgram, TheMainWindowShowsBothDirectionsAsDescribed) {
  auto program = Start();
  HWND window = drive::WaitForWindow(program->Id(), L"MForm");
  ASSERT_NE(window, nullptr) << "no main window";
  EXPECT_EQ(drive::Text(window), L"Exportar e importar datos entre Clepsa e ITACA");
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & (WS_CAPTION | WS_CHILD | WS_THICKFRAME),
            WS_CAPTION);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 632);  // at 96 DPI, Wine's default
  EXPECT_EQ(client.bottom, 266);

  // Every control of the description, with its text and place.
  for (const desktop::Control& control : kMain.controls) {
    HWND shown = Find(window, kMain, control.name);
    ASSERT_NE(shown, nullptr) << control.name;
    EXPECT_EQ(IsWindowVisible(shown) != FALSE, control.visible) << control.name;
    HWND parent = control.parent.empty() ? window : Find(window, kMain, control.parent);
    const RECT place = PlaceIn(shown, parent);
    EXPECT_EQ(place.left, control.rect.left) << control.name;
    EXPECT_EQ(place.top, control.rect.top) << control.name;
    if (control.kind != desktop::ControlKind::ComboBox) {
      EXPECT_EQ(place.right - place.left, control.rect.width) << control.name;
      EXPECT_EQ(place.bottom - place.top, control.rect.height) << control.name;
    }
  }
  EXPECT_EQ(drive::ClassName(Find(window, kMain, "Draw3D2")), L"TransClepsaPanel");
  EXPECT_EQ(TextOf(window, kMain, "LabelExportar"), L"Transformar datos desde ITACA hacia Clepsa ");
  EXPECT_EQ(TextOf(window, kMain, "LabelImportar"), L"Transformar datos desde Clepsa hacia ITACA");
  EXPECT_EQ(TextOf(window, kMain, "Label9"), L"Recoger Textos en:");
  EXPECT_EQ(TextOf(window, kMain, "Label1"), L"TransClepsaITACA para PX17 V-1.0");
  EXPECT_EQ(TextOf(window, kMain, "BExportar"), L"OK");
  EXPECT_EQ(TextOf(window, kMain, "BImportar"), L"OK");
  EXPECT_EQ(TextOf(window, kMain, "BClose"), L"&Salir");
  EXPECT_EQ(TextOf(window, kMain, "Button1"), L"F1 Ayuda");
  HWND language = Find(window, kMain, "ComboBoxValCast");
  EXPECT_EQ(drive::ClassName(language), L"ComboBox");
  EXPECT_EQ(drive::Text(language), Wide("VALENCIÁ"));
  EXPECT_EQ(drive::Items(language), (std::vector<std::wstring>{Wide("VALENCIÁ"), L"CASTELLANO"}));

  // "&Salir" closes it; standalone, nothing is written for Clepsa.
  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
  EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(DesktopProgram, OneArgumentOrThreeStartStandalone) {
  for (const std::vector<std::wstring>& arguments :
       {std::vector<std::wstring>{L"importar"}, {L"importar", L"1A2B", L"otro"}}) {
    auto program = Start(arguments);
    HWND window = drive::WaitForWindow(program->Id(), L"MForm");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_TRUE(IsWindowVisible(Find(window, kMain, "Draw3D2")));
    EXPECT_TRUE(IsWindowVisible(Find(window, kMain, "Draw3D3")));
    PostMessageW(window, WM_CLOSE, 0, 0);  // the close box
    EXPECT_EQ(program->Wait(), 0);
  }
  EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(DesktopProgram, AMissingFileIsSaidAndTheWindowStaysOpen) {
  auto program = Start();
  HWND window = drive::WaitForWindow(program->Id(), L"MForm");
  ASSERT_NE(window, nullptr);
  // A name that is not there: "No existe archivo".
  drive::Click(Find(window, kMain, "BExportar"));
  ASSERT_TRUE(drive::AnswerFileDialog(program->Id(), dir_ / "no-esta.xml")) << "no file dialog";
  const Box box = drive::WaitForBox(program->Id());
  EXPECT_EQ(box.text, L"No existe archivo");
  EXPECT_EQ(box.buttons, (std::map<int, std::wstring>{{IDOK, L"Aceptar"}}));
  drive::Answer(box, IDOK);
  // Cancel ends the run with nothing done, not even a message (no earlier file is taken).
  drive::Click(Find(window, kMain, "BExportar"));
  ASSERT_TRUE(drive::AnswerFileDialog(program->Id(), fs::path())) << "no file dialog";
  EXPECT_EQ(drive::WaitForBox(program->Id(), 1500).window, nullptr);
  EXPECT_TRUE(IsWindowEnabled(Find(window, kMain, "BExportar")));
  EXPECT_TRUE(IsWindowEnabled(Find(window, kMain, "BImportar")));
  EXPECT_TRUE(program->Running());
}

TEST_F(DesktopProgram, AnErrorEndsTheRunInTheStandardErrorBoxWithWhatToDo) {
  fs::remove(ztemp_);
  const fs::path school = CopySample(dir_ / "centro");
  auto program = Start();
  HWND window = drive::WaitForWindow(program->Id(), L"MForm");
  ASSERT_NE(window, nullptr);
  drive::Click(Find(window, kMain, "BExportar"));
  ASSERT_TRUE(drive::AnswerFileDialog(program->Id(), school));
  HWND dialog = drive::WaitForWindow(program->Id(), L"TPlantillas");
  ASSERT_NE(dialog, nullptr);
  drive::Click(Find(dialog, kTemplates, "BitBtnContinuar"));
  const Box box = drive::WaitForBox(program->Id());
  EXPECT_NE(box.text.find(L"no existe la carpeta"), std::wstring::npos);
  EXPECT_NE(box.text.find(L".\r\n\r\n"), std::wstring::npos) << "the advice after the message";
  EXPECT_EQ(box.buttons, (std::map<int, std::wstring>{{IDOK, L"Aceptar"}}));
  drive::Answer(box, IDOK);
  EXPECT_TRUE(IsWindowEnabled(Find(window, kMain, "BExportar")));
}

// The conversion of the sample school with the command line's default answers: the first
// template, VALENCIÁ, No to all templates, Yes to removing idle groups and teachers.
// Escape never goes on: in the template dialog it ends the run, at the multi-template question
// Enter answers "No", at the preview question Escape stops with "No se ha cambiado nada".
TEST_F(DesktopProgram, KeysNeverGoOn) {
  const fs::path school = CopySample(dir_.path() / "teclas");
  auto program = Start();
  const DWORD id = program->Id();
  HWND window = drive::WaitForWindow(id, L"MForm");
  ASSERT_NE(window, nullptr);
  drive::Click(Find(window, kMain, "BExportar"));
  ASSERT_TRUE(drive::AnswerFileDialog(id, school));
  HWND dialog = drive::WaitForWindow(id, L"TPlantillas");
  ASSERT_NE(dialog, nullptr);
  HWND next = Find(dialog, kTemplates, "BitBtnContinuar");
  EXPECT_TRUE(IsWindowEnabled(next));
  drive::Type(Find(dialog, kTemplates, "ComboBoxPlantilla"), L"mati");  // no template's code
  EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowEnabled(next); }));
  drive::PressKey(dialog, VK_ESCAPE);
  ASSERT_TRUE(drive::WaitGone(dialog));
  EXPECT_EQ(drive::WaitForBox(id, 1500).window, nullptr);
  EXPECT_TRUE(Tables(ztemp_) == Tables(dir_ / "nada"));

  drive::Click(Find(window, kMain, "BExportar"));
  ASSERT_TRUE(drive::AnswerFileDialog(id, school));
  dialog = drive::WaitForWindow(id, L"TPlantillas");
  ASSERT_NE(dialog, nullptr);
  drive::Click(Find(dialog, kTemplates, "BitBtnContinuar"));
  Box box = drive::WaitForBox(id);
  EXPECT_EQ(box.text, Shown(QuestionText(Question::ImportAllTemplates)));
  EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(box.window, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON);
  drive::PressKey(GetDlgItem(box.window, IDNO), VK_RETURN);
  ASSERT_TRUE(drive::WaitGone(box.window));
  box = drive::WaitForBox(id);  // No: only the chosen template, so idle groups are asked about
  EXPECT_EQ(box.text, Shown(QuestionText(Question::RemoveIdleGroupsAndTeachers)));
  drive::Answer(box, IDYES);
  HWND question = drive::WaitForWindow(id, L"TPreguntaVistaPrevia");
  ASSERT_NE(question, nullptr);
  drive::PressKey(question, VK_ESCAPE);
  box = drive::WaitForBox(id);
  EXPECT_EQ(box.text, L"No se ha cambiado nada");
  drive::Answer(box, IDOK);
  EXPECT_TRUE(Tables(ztemp_) == Tables(dir_ / "nada"));
  EXPECT_TRUE(IsWindowEnabled(Find(window, kMain, "BExportar")));
  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
}

TEST_F(DesktopProgram, AWholeConversionWritesTheTablesTheCommandLineWrites) {
  const fs::path school = CopySample(dir_.path() / FromUtf8("centro ñ"));
  auto program = Start();
  const DWORD id = program->Id();
  HWND window = drive::WaitForWindow(id, L"MForm");
  ASSERT_NE(window, nullptr);
  // The first "OK" has the focus; a bare letter presses no button ("&Salir" wants Alt+S), Enter
  // presses "OK".
  HWND ok = Find(window, kMain, "BExportar");
  EXPECT_TRUE(drive::WaitUntil([&] { return drive::Focused(window) == ok; }));
  drive::PressChar(ok, L's');
  drive::PressKey(ok, VK_RETURN);
  ASSERT_TRUE(drive::AnswerFileDialog(id, school));

  // The template dialog in conversion mode: the first template preselected, its Monday periods.
  HWND dialog = drive::WaitForWindow(id, L"TPlantillas", L"Plantillas Horarias");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(dialog, kTemplates, "Label9"), L"Recoger Textos en: -------------->");
  EXPECT_EQ(TextOf(dialog, kTemplates, "LabelPlantillas"),
            L"Seleccione la Plantilla Horaria que quiere aplicar a su Horario en Clepsa.");
  HWND code = Find(dialog, kTemplates, "ComboBoxPlantilla");
  EXPECT_EQ(drive::Items(code), (std::vector<std::wstring>{L"MATI", L"VESPRA"}));
  EXPECT_EQ(drive::Text(code), L"MATI");
  EXPECT_EQ(TextOf(dialog, kTemplates, "LabelNombre"), Wide("Horari de matí"));
  EXPECT_EQ(TextOf(dialog, kTemplates, "LabelTurno"), L"M");
  const std::vector<std::wstring> periods = drive::Items(Find(dialog, kTemplates, "ListBox1"));
  ASSERT_FALSE(periods.empty());
  EXPECT_EQ(periods.front().size(), 19u);
  EXPECT_EQ(periods.front().substr(0, 6), L" 1 de ");
  // The language, a pick list, changes the description shown; back to VALENCIÁ.
  HWND language = Find(dialog, kTemplates, "ComboBoxValCast");
  EXPECT_TRUE(IsWindowVisible(language));
  EXPECT_EQ(GetWindowLongPtrW(language, GWL_STYLE) & CBS_DROPDOWNLIST, CBS_DROPDOWNLIST);
  drive::Choose(language, 1);
  EXPECT_EQ(drive::WaitForText(Find(dialog, kTemplates, "LabelNombre"), Wide("Horario de mañana")),
            Wide("Horario de mañana"));
  drive::Choose(language, 0);
  EXPECT_EQ(drive::WaitForText(Find(dialog, kTemplates, "LabelNombre"), Wide("Horari de matí")),
            Wide("Horari de matí"));
  drive::Click(Find(dialog, kTemplates, "BitBtnContinuar"));
  ASSERT_TRUE(drive::WaitGone(dialog));

  // The two questions, with the program's own captions, answered by their mnemonics: N, then
  // Alt+S.
  const std::map<int, std::wstring> yes_no{{IDYES, Wide("&Sí")}, {IDNO, L"&No"}};
  Box box = drive::WaitForBox(id);
  EXPECT_EQ(box.text, Shown(QuestionText(Question::ImportAllTemplates)));
  EXPECT_EQ(box.buttons, yes_no);
  drive::PressChar(drive::Focused(box.window), L'n');
  ASSERT_TRUE(drive::WaitGone(box.window));
  box = drive::WaitForBox(id);
  EXPECT_EQ(box.text, Shown(QuestionText(Question::RemoveIdleGroupsAndTeachers)));
  EXPECT_EQ(box.buttons, yes_no);
  drive::PressChar(drive::Focused(box.window), L's', true);
  ASSERT_TRUE(drive::WaitGone(box.window));

  // Whether to see the changes first: yes; then they replace the tables.
  const desktop::Form& question_form = desktop::PreviewQuestionForm();
  HWND question = drive::WaitForWindow(id, L"TPreguntaVistaPrevia", L"TransClepsaItaca");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(TextOf(question, question_form, "NoPreguntar"), L"No volver a preguntar");
  EXPECT_EQ(TextOf(question, question_form, "BSi"), Wide("&Sí"));
  drive::PressChar(Find(question, question_form, "NoPreguntar"), L's', true);
  const desktop::Form& preview_form = desktop::PreviewForm();
  HWND preview = drive::WaitForWindow(id, L"TVistaPrevia", L"Cambios en las tablas de Clepsa");
  ASSERT_NE(preview, nullptr);
  EXPECT_NE(TextOf(preview, preview_form, "Texto").find(L"PROFT"), std::wstring::npos);
  EXPECT_TRUE(Tables(ztemp_) == Tables(dir_ / "nada")) << "nothing written before the approval";
  drive::Click(Find(preview, preview_form, "BSustituir"));

  // "Proceso finalizado" with the run's summary, its report one button away.
  const desktop::Form& finished_form = desktop::FinishedForm();
  HWND finished = drive::WaitForWindow(id, L"TFinalizado", L"TransClepsaItaca");
  ASSERT_NE(finished, nullptr);
  EXPECT_EQ(TextOf(finished, finished_form, "LabelFinalizado"), L"Proceso finalizado");
  const std::wstring summary = TextOf(finished, finished_form, "Resumen");
  EXPECT_NE(summary.find(L"\r\n  PROFT       39 filas\r\n"), std::wstring::npos);
  EXPECT_NE(summary.find(L"Copia de seguridad de lo sustituido: 1 "), std::wstring::npos);
  EXPECT_TRUE(IsWindowEnabled(Find(finished, finished_form, "BDeshacer")));
  // Room for "Ver informe" in the system's message font.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  RECT view{};
  GetClientRect(Find(finished, finished_form, "BVerInforme"), &view);
  EXPECT_GT(view.right, TextWidth(metrics.lfMessageFont, L"Ver informe"));
  drive::Click(Find(finished, finished_form, "BVerInforme"));
  HWND report = drive::WaitForWindow(id, L"TInforme", Wide("Informe de la ejecución"));
  ASSERT_NE(report, nullptr);
  const std::wstring text = TextOf(report, desktop::ReportForm(), "Texto");
  EXPECT_EQ(text.substr(0, 40), Wide("Informe de la conversión ITACA -> Clepsa"));
  EXPECT_NE(text.find(L"\r\nPlantilla horaria: MATI\r\n"), std::wstring::npos);
  for (const char* name : {"BGuardar", "BCopiar", "BImprimir"}) {
    EXPECT_TRUE(IsWindowVisible(Find(report, desktop::ReportForm(), name))) << name;
  }
  // "Copiar" puts the whole text on the clipboard, "Guardar…" writes it to the file named.
  drive::Click(Find(report, desktop::ReportForm(), "BCopiar"));
  EXPECT_TRUE(drive::WaitUntil([&] { return drive::ClipboardText() == text; }));
  drive::Click(Find(report, desktop::ReportForm(), "BGuardar"));
  const fs::path saved = dir_.path() / FromUtf8("informe ñ.txt");
  ASSERT_TRUE(drive::AnswerFileDialog(id, saved, 20000, L"Guardar como"));
  EXPECT_TRUE(drive::WaitUntil([&] { return fs::exists(saved); }));
  EXPECT_EQ(test::ReadFile(saved).substr(0, 41), "Informe de la conversi\xC3\xB3n ITACA -> Clepsa");
  // Escape in the text closes the window as "Cerrar" does.
  drive::PressKey(Find(report, desktop::ReportForm(), "Texto"), VK_ESCAPE);
  ASSERT_TRUE(drive::WaitGone(report));
  drive::Click(Find(finished, finished_form, "BAceptar"));
  ASSERT_TRUE(drive::WaitGone(finished));

  // Undo from the main window asks first, "No" being the default; answered No, nothing changes.
  const auto converted = Tables(ztemp_);
  EXPECT_TRUE(drive::WaitUntil([&] { return IsWindowEnabled(Find(window, kMain, "BDeshacerUltima")); }));
  EXPECT_EQ(TextOf(window, kMain, "LabelSituacion").rfind(L"Carpeta de trabajo: ", 0), 0u);
  drive::Click(Find(window, kMain, "BDeshacerUltima"));
  box = drive::WaitForBox(id);
  EXPECT_EQ(box.text.rfind(Wide("¿Reponer la copia de seguridad 1?"), 0), 0u) << box.text;
  const auto is_default = [&](int id) {
    return (GetWindowLongW(GetDlgItem(box.window, id), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
  };
  EXPECT_TRUE(is_default(IDNO));
  EXPECT_FALSE(is_default(IDYES));
  drive::Answer(box, IDNO);
  EXPECT_TRUE(Tables(ztemp_) == converted);

  // The backups window lists the one backup.
  drive::Click(Find(window, kMain, "BCopias"));
  HWND backups = drive::WaitForWindow(id, L"TCopias", L"Copias de seguridad");
  ASSERT_NE(backups, nullptr);
  const auto listed = drive::Items(Find(backups, desktop::BackupsForm(), "ListaCopias"));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].rfind(L"1  ", 0), 0u);
  EXPECT_NE(TextOf(backups, desktop::BackupsForm(), "Detalle").find(L"Plantilla horaria: MATI"),
            std::wstring::npos);
  drive::Click(Find(backups, desktop::BackupsForm(), "BCerrar"));
  ASSERT_TRUE(drive::WaitGone(backups));

  // One completed run per start.
  EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowEnabled(Find(window, kMain, "BExportar")); }));
  EXPECT_FALSE(IsWindowEnabled(Find(window, kMain, "BImportar")));
  EXPECT_FALSE(drive::Items(Find(window, kMain, "ListBoxPlanti")).empty());

  const fs::path cli_ztemp = dir_ / "ZTEMP-cli";
  fs::create_directories(cli_ztemp);
  ASSERT_EQ(CommandLine({"convert", platform::PathToUtf8(CopySample(dir_ / "cli")), "--data-dir",
                         platform::PathToUtf8(cli_ztemp), "-q"}),
            0);
  const auto written = Tables(ztemp_);
  const auto expected = Tables(cli_ztemp);
  for (const auto& [table, bytes] : expected) {
    EXPECT_TRUE(written.at(table) == bytes) << table << " differs";
  }
  EXPECT_EQ(Tables(ztemp_).at("PROFT").substr(0, 1), "\x04");

  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
}

// The export of the sample school (its tables made by the command line, Clepsa's SOLUC from the
// golden files): the template typed, the year 2025 chosen from the list.
TEST_F(DesktopProgram, AWholeExportWritesTheDocumentTheCommandLineWrites) {
  const fs::path cli_ztemp = dir_ / "ZTEMP-cli";
  fs::create_directories(cli_ztemp);
  const fs::path school = CopySample(dir_.path() / FromUtf8("exportación"));
  const fs::path cli_school = CopySample(dir_ / "cli");
  for (const fs::path& folder : {ztemp_, cli_ztemp}) {
    ASSERT_EQ(CommandLine({"convert", platform::PathToUtf8(cli_school), "--data-dir",
                           platform::PathToUtf8(folder), "-q"}),
              0);
    fs::copy_file(fs::path(TC_SOURCE_DIR) / "tests" / "golden" / "sample" / "SOLUC.DBF",
                  folder / "SOLUC.DBF");
  }

  auto program = Start();
  const DWORD id = program->Id();
  HWND window = drive::WaitForWindow(id, L"MForm");
  ASSERT_NE(window, nullptr);
  drive::Click(Find(window, kMain, "BImportar"));
  Box box = drive::WaitForBox(id);
  EXPECT_EQ(box.text, Shown(NoticeText(Notice::OpenItacaFile)));
  EXPECT_EQ(box.buttons, (std::map<int, std::wstring>{{IDOK, L"Aceptar"}}));
  drive::Answer(box, IDOK);
  ASSERT_TRUE(drive::AnswerFileDialog(id, school));

  // The template dialog in export mode: no language, the conversion's template preselected.
  HWND dialog = drive::WaitForWindow(id, L"TPlantillas");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(dialog, kTemplates, "Label9"), Wide("EXPORTACIÓN A ITACA"));
  EXPECT_EQ(TextOf(dialog, kTemplates, "LabelPlantillas"),
            L"Seleccione la Plantilla Horaria que quiere aplicar para Exportar su Horario a ITACA.");
  EXPECT_FALSE(IsWindowVisible(Find(dialog, kTemplates, "ComboBoxValCast")));
  HWND code = Find(dialog, kTemplates, "ComboBoxPlantilla");
  EXPECT_EQ(drive::Text(code), L"MATI");
  EXPECT_EQ(TextOf(dialog, kTemplates, "LabelTurno"), L"M");
  drive::Type(code, L"");
  EXPECT_EQ(drive::WaitForText(Find(dialog, kTemplates, "LabelTurno"), L"-"), L"-");
  EXPECT_FALSE(IsWindowEnabled(Find(dialog, kTemplates, "BitBtnContinuar")));
  drive::Type(code, L"MATI");
  EXPECT_EQ(TextOf(dialog, kTemplates, "LabelTurno"), L"M");
  drive::Click(Find(dialog, kTemplates, "BitBtnContinuar"));

  // The school year: the file's, then 2025 from the list (the file's year, two before and
  // after, this year); a text that is no year disables "Continuar".
  HWND year = drive::WaitForWindow(id, L"TCurExp", L"Curso de destino");
  ASSERT_NE(year, nullptr);
  EXPECT_EQ(TextOf(year, kYear, "LabelCurActual"), L"2024");
  EXPECT_EQ(TextOf(year, kYear, "LabelSeleccion"), Wide("Curso para el que se efectuará la Exportación:"));
  HWND years = Find(year, kYear, "ComboBoxCurso");
  EXPECT_EQ(drive::Text(years), L"");
  ASSERT_GE(drive::Items(years).size(), 5u);
  EXPECT_EQ(drive::Items(years)[0], L"2022");
  EXPECT_EQ(drive::Items(years)[3], L"2025");
  drive::Type(years, L"20x");
  EXPECT_TRUE(drive::WaitUntil(
      [&] { return !IsWindowEnabled(Find(year, kYear, "BitBtnContinuar")); }));
  drive::Choose(years, 3);
  EXPECT_EQ(drive::WaitForText(Find(year, kYear, "LabelCurActual"), L"2025"), L"2025");
  drive::Click(Find(year, kYear, "BitBtnContinuar"));

  HWND exported = drive::WaitForWindow(id, L"TFinalizado", L"TransClepsaItaca");
  ASSERT_NE(exported, nullptr);
  EXPECT_NE(TextOf(exported, desktop::FinishedForm(), "Resumen").find(L"  horario_grupo:     "),
            std::wstring::npos);
  drive::Click(Find(exported, desktop::FinishedForm(), "BAceptar"));
  EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowEnabled(Find(window, kMain, "BImportar")); }));

  ASSERT_EQ(CommandLine({"export", platform::PathToUtf8(cli_school), "--data-dir",
                         platform::PathToUtf8(cli_ztemp), "--template", "MATI", "--school-year",
                         "2025", "-q"}),
            0);
  const std::string written = test::ReadFile(school.parent_path() / "ResultadoClepsaies_exemple.xml");
  EXPECT_NE(written.find("curso=\"2025\""), std::string::npos);
  EXPECT_EQ(WithoutExportDate(written),
            WithoutExportDate(test::ReadFile(cli_school.parent_path() / "ResultadoClepsaies_exemple.xml")));
  EXPECT_EQ(Tables(ztemp_).at("DIASHORAST"), Tables(cli_ztemp).at("DIASHORAST"));

  drive::Click(Find(window, kMain, "BClose"));
  EXPECT_EQ(program->Wait(), 0);
}

}  // namespace
}  // namespace tc::win32::testing
