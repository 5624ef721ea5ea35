// Qt widgets from the toolkit-neutral description of a window (desktop/forms.h): each control of
// the description becomes a widget of its kind, named, placed, captioned and coloured as
// described, with its help context.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include <QColor>
#include <QWidget>

#include "desktop/forms.h"

namespace tc::app {

QColor ToQColor(const desktop::Rgb& rgb);

// The result a dialog ends with when a button answering desktop::Answer::No is pressed (Escape
// and the close box give QDialog::Rejected).
inline constexpr int kDialogNo = 2;

// Creates the form's controls inside `window` (whose caption, size and help context it also
// sets) and returns them by name.
std::map<std::string, QWidget*, std::less<>> BuildForm(const desktop::Form& form, QWidget* window);

// The control `name` of a built form as the widget class it was built as.
template <typename T>
T* FindControl(const std::map<std::string, QWidget*, std::less<>>& widgets, std::string_view name) {
  return qobject_cast<T*>(widgets.at(std::string(name)));
}

}  // namespace tc::app
