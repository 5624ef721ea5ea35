// Qt widgets from the toolkit-neutral description of a window (desktop/forms.h): each control of
// the description becomes a widget of its kind, named, placed, captioned and coloured as
// described, with its help context.
#pragma once

#include <map>
#include <string>

#include <QColor>

#include "desktop/forms.h"

class QWidget;

namespace tc::app {

QColor ToQColor(const desktop::Rgb& rgb);

// The result a dialog ends with when a button answering desktop::Answer::No is pressed (Escape
// and the close box give QDialog::Rejected).
inline constexpr int kDialogNo = 2;

// Creates the form's controls inside `window` (whose caption, size and help context it also
// sets) and returns them by name.
std::map<std::string, QWidget*, std::less<>> BuildForm(const desktop::Form& form, QWidget* window);

}  // namespace tc::app
