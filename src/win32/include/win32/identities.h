// How the Windows program's windows and controls are known from outside the program (by
// accessibility tools, by scripts, by the tests that drive it): every window built from a
// description of desktop/forms.h has the description's name as its window class ("MForm",
// "TPlantillas", "TCurExp", "TInforme", "TPreguntaVistaPrevia", "TVistaPrevia") and its caption
// as its text; every control has the identifier kFirstControlId plus its position in the
// description, and its text as its window text. The gradient panels are windows of the class
// kPanelClass.
#pragma once

#include <string_view>

#include "desktop/forms.h"

namespace tc::win32 {

inline constexpr int kFirstControlId = 1000;
inline constexpr wchar_t kPanelClass[] = L"TransClepsaPanel";
// Hosted, the program's boxes and dialogs belong to a hidden window of this class (not to
// Clepsa's window, which a box would otherwise disable).
inline constexpr wchar_t kOwnerClass[] = L"TransClepsaItaca";

// The identifier of the control `name` of `form`; 0 when the form has no such control.
constexpr int ControlId(const desktop::Form& form, std::string_view name) {
  int position = 0;
  for (const desktop::Control& control : form.controls) {
    if (control.name == name) return kFirstControlId + position;
    ++position;
  }
  return 0;
}

}  // namespace tc::win32
