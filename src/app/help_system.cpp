#include "app/help_system.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#include "app/ui_text.h"
#include "desktop/forms.h"

namespace tc::app {

using desktop::HelpCommand;

QStringList HelpViewerArguments(const HelpViewer& viewer, const QString& file, HelpCommand command,
                                int context) {
  if (viewer.kind == HelpViewer::Kind::XChm && command == HelpCommand::Context) {
    return {QStringLiteral("--contextid=%1").arg(context), file};
  }
  return {file};
}

int FocusedHelpContext(const QObject* widget) {
  for (const QObject* object = widget; object != nullptr; object = object->parent()) {
    if (const int context = HelpContextOf(object); context != 0) return context;
  }
  return 0;
}

HelpSystem::HelpSystem(QObject* parent)
    : QObject(parent),
      help_file_(FromCore(desktop::kHelpFile)),
      viewer_(FindViewer()),
      launcher_([](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
      }) {}

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
  const std::filesystem::path resolved = desktop::ResolveHelpFile(
      help_file_.toStdString(), PathFromQt(QCoreApplication::applicationDirPath()));
  if (resolved.empty()) return false;
  const QString file = NativePath(resolved);
  if (!QFileInfo::exists(file) || !viewer_ || !launcher_) return false;
  return launcher_(viewer_->program, HelpViewerArguments(*viewer_, file, command, context));
}

void HelpSystem::TellUnavailable() const {
  if (!on_unavailable_) return;
  const std::filesystem::path resolved = desktop::ResolveHelpFile(
      help_file_.toStdString(), PathFromQt(QCoreApplication::applicationDirPath()));
  const bool file_found = !resolved.empty() && QFileInfo::exists(NativePath(resolved));
  on_unavailable_(desktop::HelpUnavailableText(
      resolved.empty() ? PathFromQt(help_file_) : resolved, file_found, viewer_.has_value()));
}

bool HelpSystem::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
      const QObject* focus = QApplication::focusWidget();
      if (focus == nullptr) focus = QApplication::activeWindow();
      if (focus == nullptr) focus = watched;
      const int context = FocusedHelpContext(focus);
      if (!(context != 0 ? ShowContext(context) : ShowContents())) TellUnavailable();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tc::app
