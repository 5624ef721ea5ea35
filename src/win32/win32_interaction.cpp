#include "win32/win32_interaction.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <algorithm>
#include <utility>
#include <vector>

#include "base/codepage.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "run/advice.h"
#include "run/restore.h"

#include "report/render.h"
#include "run/preview.h"
#include "run/report_file.h"
#include "run/school_year_dialog.h"
#include "run/template_dialog.h"
#include "win32/form_window.h"
#include "win32/message_box.h"
#include "win32/text.h"

namespace tc::win32 {

namespace {

namespace names = desktop::names;

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

bool IsChange(int code) { return code == CBN_EDITCHANGE || code == CBN_SELCHANGE; }

std::vector<std::wstring> Lines(const std::vector<std::string>& cp1252) {
  std::vector<std::wstring> lines;
  for (const std::string& line : cp1252) lines.push_back(FromCore(line));
  return lines;
}

// The template dialog "Plantillas Horarias": shows what its logic prepared on activation and
// passes every change of its two combo boxes to it; "Continuar" only while the code is one of the
// document's. Returns IDOK for "Continuar", IDCANCEL for Escape and the close box.
int ShowTemplateDialog(TemplateDialog& logic, HWND owner) {
  FormWindow window(desktop::TemplateForm(), kDialogStyle | WS_THICKFRAME, 0, owner);
  const auto show_choice = [&] {
    window.SetText(names::kTemplateDescription, FromCore(logic.Description()));
    window.SetText(names::kTemplateShift, FromCore(logic.Shift()));
    window.SetItems(names::kTemplatePeriods, Lines(logic.PeriodLines()));
    EnableWindow(window.Control(names::kContinue), logic.CanContinue() ? TRUE : FALSE);
  };
  window.SetText(names::kTemplatePrompt, FromCore(logic.LanguagePrompt()));
  window.SetText(names::kTemplateInstruction, FromCore(logic.Instruction()));
  ShowWindow(window.Control(names::kTemplateLanguage), logic.LanguageVisible() ? SW_SHOW : SW_HIDE);
  window.SetText(names::kTemplateLanguage, FromCore(logic.Language()));
  window.SetItems(names::kTemplateCode, Lines(logic.Codes()));
  int selected = -1;
  for (std::size_t i = 0; i < logic.Codes().size(); ++i) {
    if (logic.Codes()[i] == logic.CodeText()) {
      selected = static_cast<int>(i);
      break;
    }
  }
  SendMessageW(window.Control(names::kTemplateCode), CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  window.SetText(names::kTemplateCode, FromCore(logic.CodeText()));
  show_choice();
  window.OnCommand([&](std::string_view name, int code) {
    if (!IsChange(code)) return;
    if (name == names::kTemplateCode) {
      logic.SetCodeText(ToCore(window.ComboText(name, code)));
      show_choice();
    } else if (name == names::kTemplateLanguage) {
      logic.SetLanguage(ToCore(window.ComboText(name, code)));
      show_choice();
    }
  });
  window.Place(owner);
  return window.RunModal(owner);
}

// The school-year dialog "Curso de destino": the year of the file is shown, the combo box
// starts empty, and every change of it shows its text as the year to write; "Continuar" only
// while it is a year of four digits.
void ShowSchoolYearDialog(SchoolYearDialog& logic, HWND owner) {
  FormWindow window(desktop::SchoolYearForm(), kDialogStyle, WS_EX_DLGMODALFRAME, owner);
  window.SetItems(names::kYearCombo, Lines(logic.Years()));
  SendMessageW(window.Control(names::kYearCombo), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  window.SetText(names::kYearCombo, L"");
  const auto show_year = [&] {
    window.SetText(names::kYearShown, FromCore(logic.Shown()));
    EnableWindow(window.Control(names::kContinue), logic.CanContinue() ? TRUE : FALSE);
  };
  show_year();
  window.OnCommand([&](std::string_view name, int code) {
    if (name != names::kYearCombo || !IsChange(code)) return;
    logic.SetComboText(ToCore(window.ComboText(name, code)));
    show_year();
  });
  window.Place(owner);
  window.RunModal(owner);
}

// "Copiar": the whole text to the clipboard.
void CopyText(HWND window, const std::wstring& text) {
  if (!OpenClipboard(window)) return;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* data = GlobalLock(memory)) {
      std::memcpy(data, text.c_str(), bytes);
      GlobalUnlock(memory);
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

// "Guardar…": the text as a UTF-8 file the user names, or the report's page when there is one
// and the user asks for a page.
void SaveText(HWND window, const std::wstring& text, const std::filesystem::path& page) {
  std::vector<wchar_t> name(32768, L'\0');
  std::wstring filter = FromCore(desktop::kSaveTextKind) + L'\0' + L"*.txt" + L'\0';
  if (!page.empty()) filter += FromCore(desktop::kSavePageKind) + L'\0' + L"*.html" + L'\0';
  filter += L'\0';
  const std::wstring title = FromCore(desktop::kSaveDialogTitle);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameW(&dialog) || name[0] == L'\0') return;
  std::filesystem::path file(name.data());
  if (dialog.nFilterIndex == 2 && file.extension() != L".html" && file.extension() != L".htm") {
    file.replace_extension(L".html");
  }
  try {
    desktop::SaveShown(file, Cp1252ToUtf8(ToCore(text)), page);
  } catch (const std::exception& exception) {
    ShowMessage(window, FromCore(desktop::ErrorBoxText(AsError(exception))), BoxIcon::Error);
  }
}

// "Imprimir": the system's print dialog, then the text, wrapped, page after page.
void PrintText(HWND window, const std::wstring& text) {
  PRINTDLGW print{};
  print.lStructSize = sizeof print;
  print.hwndOwner = window;
  print.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
  if (!PrintDlgW(&print) || print.hDC == nullptr) return;
  HDC dc = print.hDC;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  HFONT font = CreateFontW(-MulDiv(10, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, L"Arial");
  HGDIOBJ previous = SelectObject(dc, font);
  const int margin = dpi / 2;
  const RECT page{margin, margin, GetDeviceCaps(dc, HORZRES) - margin,
                  GetDeviceCaps(dc, VERTRES) - margin};
  DOCINFOW document{};
  document.cbSize = sizeof document;
  document.lpszDocName = L"TransClepsaItaca";
  if (StartDocW(dc, &document) > 0) {
    std::size_t at = 0;
    while (at < text.size()) {
      StartPage(dc);
      int top = page.top;
      while (at < text.size()) {
        std::size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(at, end - at);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty()) line = L" ";
        RECT box{page.left, top, page.right, page.bottom};
        const int height =
            DrawTextW(dc, line.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        if (top + height > page.bottom && top != page.top) break;
        box = {page.left, top, page.right, page.bottom};
        DrawTextW(dc, line.c_str(), -1, &box, DT_WORDBREAK | DT_NOPREFIX);
        top += height;
        at = end + 1;
      }
      EndPage(dc);
    }
    EndDoc(dc);
  }
  SelectObject(dc, previous);
  DeleteObject(font);
  DeleteDC(dc);
  if (print.hDevMode != nullptr) GlobalFree(print.hDevMode);
  if (print.hDevNames != nullptr) GlobalFree(print.hDevNames);
}

}  // namespace

std::wstring EditText(std::string_view cp1252) {
  const std::wstring text = FromCore(cp1252);
  std::wstring lines;
  lines.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) lines += L'\r';
    lines += text[i];
  }
  return lines;
}

// While a box or dialog is up: the main window takes no input (hosted, where the system does
// not disable it for us) and the pointer is the normal one over the hourglass.
class Win32Interaction::ModalScope {
 public:
  explicit ModalScope(Win32Interaction& ui)
      : ui_(ui), disabled_(ui.main_ != ui.owner_ && IsWindowEnabled(ui.main_)) {
    if (disabled_) EnableWindow(ui_.main_, FALSE);
    if (ui_.busy_) FormWindow::SetBusy(false);
  }
  ~ModalScope() {
    if (disabled_) EnableWindow(ui_.main_, TRUE);
    if (ui_.busy_) FormWindow::SetBusy(true);
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  Win32Interaction& ui_;
  bool disabled_;
};

Win32Interaction::Win32Interaction(desktop::Session& session, HWND owner, HWND main)
    : session_(session), owner_(owner), main_(main) {}

Win32Interaction::~Win32Interaction() { SetBusy(false); }

std::optional<std::filesystem::path> Win32Interaction::ChooseItacaFile() {
  const ModalScope modal(*this);
  const std::wstring pattern = FromCore(desktop::kFileDialogFilter);
  std::wstring filter = pattern + L'\0' + pattern + L'\0';
  filter += L'\0';
  const std::wstring title = FromCore(desktop::kFileDialogTitle);
  const std::wstring extension = FromCore(desktop::kFileDialogExtension);
  const std::wstring folder = start_folder_.wstring();
  std::vector<wchar_t> name(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  // The export opens on the conversion's document.
  std::wstring initial_folder = folder;
  if (!proposed_file_.empty()) {
    const std::wstring proposed = proposed_file_.filename().wstring();
    std::copy(proposed.begin(), proposed.begin() + std::min(proposed.size(), name.size() - 1),
              name.begin());
    initial_folder = proposed_file_.parent_path().wstring();
    proposed_file_.clear();
  }
  dialog.lpstrInitialDir = initial_folder.empty() ? nullptr : initial_folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = extension.c_str();
  // A name that does not exist is accepted here; the run answers it with its own message.
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog) || name[0] == L'\0') return std::nullopt;
  std::filesystem::path chosen(name.data());
  start_folder_ = chosen.parent_path();
  return chosen;
}

void Win32Interaction::Inform(Notice notice) {
  // The session shows "Proceso finalizado" with the run's summary once the run has returned.
  if (notice == Notice::Finished && session_.ShowsFinished()) return;
  const ModalScope modal(*this);
  ShowMessage(owner_, FromCore(NoticeText(notice)), BoxIcon::Information);
}

// The page in the system's browser; the text when there is no page or no browser to open it.
void Win32Interaction::ViewReport(const std::wstring& text, const std::filesystem::path& page) {
  std::error_code error;
  if (!page.empty() && std::filesystem::is_regular_file(page, error)) {
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner_, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32) return;
  }
  ShowText(desktop::ReportForm(), text, page);
}


int Win32Interaction::ShowText(const desktop::Form& form, const std::wstring& text,
                               const std::filesystem::path& page) {
  const ModalScope modal(*this);
  FormWindow window(form, kDialogStyle | WS_THICKFRAME | WS_MAXIMIZEBOX, 0, owner_);
  window.SetText(names::kText, text);
  window.OnCommand([&](std::string_view name, int code) {
    if (code != BN_CLICKED) return;
    if (name == names::kCopy) {
      CopyText(window.Handle(), text);
    } else if (name == names::kSave) {
      SaveText(window.Handle(), text, page);
    } else if (name == names::kPrint) {
      PrintText(window.Handle(), text);
    }
  });
  window.Place(owner_);
  return window.RunModal(owner_);
}

bool Win32Interaction::ShowFinished(const desktop::Finished& finished) {
  const ModalScope modal(*this);
  FormWindow window(desktop::FinishedForm(), kDialogStyle | WS_THICKFRAME, 0, owner_);
  window.SetText(names::kSummary, EditText(finished.summary));
  EnableWindow(window.Control(names::kViewReport), !finished.report.empty());
  EnableWindow(window.Control(names::kUndo), finished.backup.has_value());
  EnableWindow(window.Control(names::kOpenFolder), !finished.folder.empty());
  window.OnCommand([&](std::string_view name, int code) {
    if (code != BN_CLICKED) return;
    if (name == names::kViewReport) {
      ViewReport(EditText(finished.report), finished.report_page);
    } else if (name == names::kUndo) {
      window.EndModal(IDRETRY);
    } else if (name == names::kOpenFolder) {
      ShellExecuteW(window.Handle(), L"open", finished.folder.wstring().c_str(), nullptr,
                    nullptr, SW_SHOWNORMAL);
    }
  });
  window.Place(owner_);
  return window.RunModal(owner_) == IDRETRY;
}

void Win32Interaction::ShowBackups() {
  const ModalScope modal(*this);
  FormWindow window(desktop::BackupsForm(), kDialogStyle | WS_THICKFRAME | WS_MAXIMIZEBOX, 0,
                    owner_);
  HWND list = window.Control(names::kBackupList);
  std::vector<Backup> backups;
  const auto chosen = [&]() -> const Backup* {
    const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
    return row >= 0 && row < static_cast<LRESULT>(backups.size())
               ? &backups[static_cast<std::size_t>(row)]
               : nullptr;
  };
  const auto show_chosen = [&] {
    const Backup* backup = chosen();
    window.SetText(names::kBackupDetail,
                   EditText(backup ? desktop::BackupDetail(*backup) : session_.Situation()));
    EnableWindow(window.Control(names::kViewReport), backup != nullptr && backup->has_report);
    EnableWindow(window.Control(names::kRestore), backup != nullptr);
  };
  const auto load = [&] {
    backups = session_.Backups();
    std::vector<std::wstring> lines;
    for (const Backup& backup : backups) lines.push_back(FromCore(BackupLine(backup)));
    window.SetItems(names::kBackupList, lines);
    SendMessageW(list, LB_SETCURSEL, backups.empty() ? static_cast<WPARAM>(-1) : 0, 0);
    show_chosen();
  };
  window.OnCommand([&](std::string_view name, int code) {
    if (name == names::kBackupList && code == LBN_SELCHANGE) {
      show_chosen();
    } else if (code != BN_CLICKED) {
      return;
    } else if (name == names::kViewReport) {
      if (const Backup* backup = chosen()) {
        ViewReport(EditText(BackupReport(*backup, session_.WorkingFolder())), ReportPage(backup->generation.folder));
      }
    } else if (name == names::kRestore) {
      if (const Backup* backup = chosen(); backup != nullptr && session_.Restore(*backup)) load();
    }
  });
  load();
  window.Place(owner_);
  window.RunModal(owner_);
}

bool Win32Interaction::AskSafe(std::string_view question) {
  const ModalScope modal(*this);
  return AskYesNo(owner_, EditText(question), DefaultButton::No);
}

void Win32Interaction::Tell(std::string_view message) {
  const ModalScope modal(*this);
  ShowMessage(owner_, EditText(message), BoxIcon::Information);
}

void Win32Interaction::ShowRefusal(const Error& error) { ShowError(error); }

// "Yes" shows the changes, "No" replaces the tables at once, Escape and the close box stop.
PreviewChoice Win32Interaction::OfferPreview() {
  if (!session_.AskPreview()) return PreviewChoice::Replace;
  const ModalScope modal(*this);
  FormWindow question(desktop::PreviewQuestionForm(), kDialogStyle, WS_EX_DLGMODALFRAME, owner_);
  question.Place(owner_);
  const int answer = question.RunModal(owner_);
  if (answer != IDOK && answer != IDNO) return PreviewChoice::Cancel;
  const bool dont_ask =
      SendMessageW(question.Control(names::kDontAskAgain), BM_GETCHECK, 0, 0) == BST_CHECKED;
  return session_.AnswerPreviewQuestion(answer == IDOK, dont_ask) ? PreviewChoice::Show
                                                                  : PreviewChoice::Replace;
}

bool Win32Interaction::ApproveChanges(const TablesPreview& preview) {
  return ShowText(desktop::PreviewForm(), EditText(RenderPreview(preview))) == IDOK;
}

bool Win32Interaction::Confirm(Question question) {
  const ModalScope modal(*this);
  return AskYesNo(owner_, FromCore(QuestionText(question)),
                  tc::DefaultAnswer(question) ? DefaultButton::Yes : DefaultButton::No);
}

bool Win32Interaction::GoOnDespite(const Guard& guard) {
  const ModalScope modal(*this);
  return AskYesNo(owner_, FromCore(GuardQuestion(guard)), DefaultButton::No);
}

void Win32Interaction::ShowErrorText(std::string_view cp1252) {
  const ModalScope modal(*this);
  ShowMessage(owner_, FromCore(desktop::StandardErrorText(cp1252)), BoxIcon::Error);
}

// The error's own message, then what the user can do about it.
void Win32Interaction::ShowError(const Error& error) {
  const ModalScope modal(*this);
  ShowMessage(owner_, FromCore(desktop::ErrorBoxText(error)), BoxIcon::Error);
}

std::optional<TemplateChoice> Win32Interaction::ChooseTemplate(TemplateDialog& dialog) {
  int answer = IDCANCEL;
  {
    const ModalScope modal(*this);
    answer = ShowTemplateDialog(dialog, owner_);
  }
  // Only "Continuar" goes on; Escape and the close box end the run.
  if (answer != IDOK) return std::nullopt;
  return dialog.Result();
}

void Win32Interaction::ChooseSchoolYear(SchoolYearDialog& dialog) {
  const ModalScope modal(*this);
  ShowSchoolYearDialog(dialog, owner_);
}

void Win32Interaction::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  FormWindow::SetBusy(busy);
}

}  // namespace tc::win32
