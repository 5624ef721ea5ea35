#include "app/help_system.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "app/ui_text.h"

namespace tc::app {

namespace {

#ifdef Q_OS_WIN
using HtmlHelpAFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
#endif

}  // namespace

QStringList HelpViewerArguments(const HelpViewer& viewer, const QString& file, HelpCommand command,
                                int context) {
  if (viewer.kind == HelpViewer::Kind::XChm && command == HelpCommand::Context) {
    return {QStringLiteral("--contextid=%1").arg(context), file};
  }
  return {file};
}

QString ResolveHelpFile(const QString& name, const QString& executable_dir) {
  const qsizetype dot = name.lastIndexOf(u'.');
  if (dot < 0 || name.mid(dot + 1).compare(QLatin1String("chm"), Qt::CaseInsensitive) != 0) {
    return QString();
  }
  const QFileInfo info(name);
  if (name.contains(u'/') || name.contains(u'\\')) return info.absoluteFilePath();
  return QDir(executable_dir).absoluteFilePath(name);
}

int FocusedHelpContext(const QObject* widget) {
  for (const QObject* object = widget; object != nullptr; object = object->parent()) {
    if (const int context = HelpContextOf(object); context != 0) return context;
  }
  return 0;
}

HelpSystem::HelpSystem(QObject* parent)
    : QObject(parent), help_file_(QString::fromLatin1(kHelpFile)) {
#ifdef Q_OS_WIN
  // The HTML Help engine is optional: without it every request does nothing.
  if (HMODULE library = LoadLibraryW(L"HHCtrl.ocx")) {
    if (FARPROC entry = GetProcAddress(library, "HtmlHelpA")) {
      html_help_library_ = library;
      html_help_entry_ = reinterpret_cast<void*>(entry);
    } else {
      FreeLibrary(library);
    }
  }
#else
  viewer_ = FindViewer();
  launcher_ = [](const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
  };
#endif
}

HelpSystem::~HelpSystem() {
#ifdef Q_OS_WIN
  if (html_help_library_ != nullptr) FreeLibrary(static_cast<HMODULE>(html_help_library_));
#endif
}

std::optional<HelpViewer> HelpSystem::FindViewer() {
  if (QString xchm = QStandardPaths::findExecutable(QStringLiteral("xchm")); !xchm.isEmpty()) {
    return HelpViewer{xchm, HelpViewer::Kind::XChm};
  }
  if (QString kchm = QStandardPaths::findExecutable(QStringLiteral("kchmviewer"));
      !kchm.isEmpty()) {
    return HelpViewer{kchm, HelpViewer::Kind::KChmViewer};
  }
  return std::nullopt;
}

bool HelpSystem::ShowContents() { return Request(HelpCommand::Contents, 0); }

bool HelpSystem::ShowContext(int context) { return Request(HelpCommand::Context, context); }

bool HelpSystem::Request(HelpCommand command, int context) {
  const QString file = ResolveHelpFile(help_file_, QCoreApplication::applicationDirPath());
  if (file.isEmpty() || !QFileInfo::exists(file)) return false;
#ifdef Q_OS_WIN
  if (html_help_entry_ == nullptr) return false;
  auto html_help = reinterpret_cast<HtmlHelpAFunction>(html_help_entry_);
  HWND owner = nullptr;
  if (QWidget* window = QApplication::activeWindow()) owner = reinterpret_cast<HWND>(window->winId());
  const QByteArray path = QDir::toNativeSeparators(file).toLocal8Bit();
  const DWORD_PTR data = command == HelpCommand::Context ? static_cast<DWORD_PTR>(context) : 0;
  html_help(owner, path.constData(), static_cast<UINT>(command), data);
  return true;
#else
  if (!viewer_ || !launcher_) return false;
  return launcher_(viewer_->program, HelpViewerArguments(*viewer_, file, command, context));
#endif
}

bool HelpSystem::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
      const QObject* focus = QApplication::focusWidget();
      if (focus == nullptr) focus = QApplication::activeWindow();
      if (focus == nullptr) focus = watched;
      if (const int context = FocusedHelpContext(focus); context != 0) {
        ShowContext(context);
      } else {
        ShowContents();
      }
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tc::app
