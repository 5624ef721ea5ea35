#include "app/form_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "app/gradient_panel.h"
#include "app/ui_text.h"

namespace tc::app {

namespace {

using desktop::ControlKind;

// The end colour of a gradient that ends in the system's inactive title-bar colour.
QColor GradientEnd(const desktop::Gradient& gradient) {
#ifdef Q_OS_WIN
  if (gradient.end_is_inactive_caption) {
    const DWORD bgr = GetSysColor(COLOR_INACTIVECAPTION);
    return QColor(GetRValue(bgr), GetGValue(bgr), GetBValue(bgr));
  }
#endif
  return ToQColor(gradient.end);
}

void Colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

QWidget* Create(const desktop::Control& control, QWidget* parent) {
  switch (control.kind) {
    case ControlKind::Panel: {
      const desktop::Gradient gradient = control.gradient.value_or(desktop::Gradient{});
      return new GradientPanel(ToQColor(gradient.start), ToQColor(gradient.middle),
                               GradientEnd(gradient), parent);
    }
    case ControlKind::Label: {
      auto* label = new QLabel(FromCore(control.text), parent);
      label->setWordWrap(control.word_wrap);
      label->setAlignment(control.centred ? Qt::AlignHCenter | Qt::AlignTop
                                          : Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(!control.pick_list);
      if (!control.pick_list) {
        combo->setCompleter(nullptr);  // what is typed stays as typed
        combo->setInsertPolicy(QComboBox::NoInsert);
      }
      if (!control.items.empty()) combo->addItems(FromCore(control.items).split(u'\n'));
      if (control.pick_list) {
        combo->setCurrentText(FromCore(control.text));
      } else {
        combo->setEditText(FromCore(control.text));
      }
      if (control.background) Colour(combo, QPalette::Base, ToQColor(*control.background));
      return combo;
    }
    case ControlKind::TextBox: {
      auto* text = new QPlainTextEdit(parent);
      text->setReadOnly(true);
      text->setLineWrapMode(control.word_wrap ? QPlainTextEdit::WidgetWidth
                                              : QPlainTextEdit::NoWrap);
      return text;
    }
    case ControlKind::CheckBox:
      return new QCheckBox(FromCore(control.text), parent);
    case ControlKind::ListBox: {
      auto* list = new QListWidget(parent);
      if (control.background) Colour(list, QPalette::Base, ToQColor(*control.background));
      return list;
    }
    case ControlKind::OkButton:
    case ControlKind::CloseButton:
    case ControlKind::Button: {
      auto* button = new QPushButton(FromCore(control.text), parent);
      if (control.kind != ControlKind::Button) {
        button->setIcon(parent->style()->standardIcon(control.kind == ControlKind::OkButton
                                                          ? QStyle::SP_DialogOkButton
                                                          : QStyle::SP_DialogCloseButton));
      }
      button->setDefault(control.is_default);
      return button;
    }
  }
  return new QWidget(parent);
}

// A resizable window: "Panel1" fills it and the controls follow its size as described.
class Anchors : public QObject {
 public:
  Anchors(const desktop::Form& form, std::map<std::string, QWidget*, std::less<>> widgets,
          QWidget* window)
      : QObject(window), form_(form), widgets_(std::move(widgets)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) {
      const auto* window = static_cast<QWidget*>(watched);
      for (const desktop::Control& control : form_.controls) {
        QWidget* widget = widgets_.at(std::string(control.name));
        if (control.name == "Panel1") {
          widget->setGeometry(0, 0, window->width(), window->height());
        } else if (control.anchors != 0) {
          const desktop::Rect rect = desktop::Anchored(control, form_.width, form_.height,
                                                       window->width(), window->height());
          widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const desktop::Form& form_;
  std::map<std::string, QWidget*, std::less<>> widgets_;
};

}  // namespace

QColor ToQColor(const desktop::Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

std::map<std::string, QWidget*, std::less<>> BuildForm(const desktop::Form& form,
                                                       QWidget* window) {
  window->setObjectName(FromCore(form.name));
  window->setWindowTitle(FromCore(form.caption));
  SetHelpContext(window, form.help_context);

  std::map<std::string, QWidget*, std::less<>> widgets;
  for (const desktop::Control& control : form.controls) {
    QWidget* parent = window;
    if (!control.parent.empty()) parent = widgets.at(std::string(control.parent));
    QWidget* widget = Create(control, parent);
    widget->setObjectName(FromCore(control.name));
    if (!control.accessible_name.empty()) {
      widget->setAccessibleName(FromCore(control.accessible_name));
    }
    widget->setGeometry(control.rect.left, control.rect.top, control.rect.width,
                        control.rect.height);
    if (control.font.fixed_pitch) {
      QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
      font.setPixelSize(control.font.pixels);
      widget->setFont(font);
    } else if (control.kind != ControlKind::Panel) {
      widget->setFont(ArialFont(control.font.pixels, control.font.bold));
    }
    // A dialog's buttons close it with their answer.
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr) {
      if (auto* button = qobject_cast<QPushButton*>(widget)) {
        if (control.answer == desktop::Answer::Accept) {
          QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
        } else if (control.answer == desktop::Answer::Reject) {
          QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
        } else if (control.answer == desktop::Answer::No) {
          QObject::connect(button, &QPushButton::clicked, dialog,
                           [dialog] { dialog->done(kDialogNo); });
        }
      }
    }
    if (control.text_colour) Colour(widget, QPalette::WindowText, ToQColor(*control.text_colour));
    if (control.help_context != 0) SetHelpContext(widget, control.help_context);
    widget->setVisible(control.visible);
    widgets.emplace(std::string(control.name), widget);
  }
  if (form.resizable && !form.controls.empty() && form.controls.front().name == "Panel1") {
    window->installEventFilter(new Anchors(form, widgets, window));
  }
  return widgets;
}

}  // namespace tc::app
