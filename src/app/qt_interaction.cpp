#include "app/qt_interaction.h"

#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/form_builder.h"
#include "app/school_year_form.h"
#include "app/template_form.h"
#include "app/ui_text.h"
#include "desktop/forms.h"
#include "report/render.h"
#include "run/advice.h"
#include "run/report_file.h"
#include "run/preview.h"
#include "run/restore.h"
#include "run/school_year_dialog.h"

namespace tc::app {

QString StandardErrorText(const QString& message) {
  return FromCore(desktop::StandardErrorText(ToCore(message)));
}

QString MessageText(std::string_view cp1252) {
  QString text = FromCore(cp1252);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QtInteraction::QtInteraction(QWidget* owner, DialogRunner runner)
    : owner_(owner), runner_(std::move(runner)) {}

QtInteraction::~QtInteraction() { SetBusy(false); }

int QtInteraction::Exec(QDialog& dialog) {
  // A dialog inside a run takes input: it shows the normal pointer over the hourglass.
  const bool busy = busy_;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = runner_ ? runner_(dialog) : dialog.exec();
  if (busy) QApplication::restoreOverrideCursor();
  return result;
}

std::optional<std::filesystem::path> QtInteraction::ChooseItacaFile() {
  QFileDialog dialog(owner_, FromCore(desktop::kFileDialogTitle),
                     start_folder_.empty() ? QString() : NativePath(start_folder_),
                     FromCore(desktop::kFileDialogFilter));
  dialog.setObjectName(QStringLiteral("OpenDialogXML"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // A name that does not exist is accepted here; the run answers it with its own message.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(FromCore(desktop::kFileDialogExtension));
  if (!proposed_file_.empty()) {
    dialog.setDirectory(NativePath(proposed_file_.parent_path()));
    dialog.selectFile(NativePath(proposed_file_));
    proposed_file_.clear();
  }
  if (Exec(dialog) != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  std::filesystem::path chosen = PathFromQt(files.front());
  start_folder_ = chosen.parent_path();
  return chosen;
}

void QtInteraction::ShowBox(QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, FromCore(desktop::kAppTitle), text, QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(FromCore(desktop::kOkCaption));
  Exec(box);
}

void QtInteraction::Inform(Notice notice) {
  // The session shows "Proceso finalizado" with the run's summary once the run has returned.
  if (notice == Notice::Finished && session_ != nullptr && session_->ShowsFinished()) return;
  InformText(NoticeText(notice));
}

// The page in the system's browser; the text when there is no page or no browser.
void QtInteraction::ViewReport(const QString& text, const std::filesystem::path& page) {
  std::error_code error;
  if (!page.empty() && std::filesystem::is_regular_file(page, error)) {
    const bool opened = open_page_ ? open_page_(page)
                                   : QDesktopServices::openUrl(QUrl::fromLocalFile(
                                         QString::fromStdWString(page.wstring())));
    if (opened) return;
  }
  ShowText(desktop::ReportForm(), text, page);
}


std::optional<std::filesystem::path> QtInteraction::ChooseSaveFile(bool offer_page) {
  const QString text_kind = FromCore(desktop::kSaveTextKind);
  const QString page_kind = FromCore(desktop::kSavePageKind);
  QFileDialog dialog(owner_, FromCore(desktop::kSaveDialogTitle),
                     start_folder_.empty() ? QString() : NativePath(start_folder_), text_kind);
  if (offer_page) dialog.setNameFilters({text_kind, page_kind});
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& kind) {
    dialog.setDefaultSuffix(kind == page_kind ? QStringLiteral("html") : QStringLiteral("txt"));
  });
  if (Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return PathFromQt(dialog.selectedFiles().front());
}

int QtInteraction::ShowText(const desktop::Form& form, const QString& text,
                            const std::filesystem::path& page) {
  namespace names = desktop::names;
  QDialog dialog(owner_);
  dialog.resize(form.width, form.height);
  const auto widgets = BuildForm(form, &dialog);
  auto* box = qobject_cast<QPlainTextEdit*>(widgets.at(std::string(names::kText)));
  box->setPlainText(text);
  QObject::connect(qobject_cast<QPushButton*>(widgets.at(std::string(names::kCopy))),
                   &QPushButton::clicked, &dialog,
                   [text] { QGuiApplication::clipboard()->setText(text); });
  QObject::connect(qobject_cast<QPushButton*>(widgets.at(std::string(names::kSave))),
                   &QPushButton::clicked, &dialog, [this, text, page] {
                     const std::optional<std::filesystem::path> file =
                         ChooseSaveFile(!page.empty());
                     if (!file) return;
                     try {
                       desktop::SaveShown(*file, text.toStdString(), page);
                     } catch (const std::exception& exception) {
                       ShowError(AsError(exception));
                     }
                   });
  QObject::connect(qobject_cast<QPushButton*>(widgets.at(std::string(names::kPrint))),
                   &QPushButton::clicked, &dialog, [this, box] {
                     QPrinter printer;
                     QPrintDialog print(&printer, owner_);
                     print.setObjectName(QStringLiteral("PrintDialog"));
                     if (Exec(print) == QDialog::Accepted) box->document()->print(&printer);
                   });
  return Exec(dialog);
}

bool QtInteraction::ShowFinished(const desktop::Finished& finished) {
  namespace names = desktop::names;
  QDialog dialog(owner_);
  const desktop::Form& form = desktop::FinishedForm();
  dialog.resize(form.width, form.height);
  const auto widgets = BuildForm(form, &dialog);
  qobject_cast<QPlainTextEdit*>(widgets.at(std::string(names::kSummary)))
      ->setPlainText(FromCore(finished.summary));
  auto button = [&](std::string_view name) {
    return qobject_cast<QPushButton*>(widgets.at(std::string(name)));
  };
  constexpr int kUndoAnswer = 2;
  button(names::kViewReport)->setEnabled(!finished.report.empty());
  QObject::connect(button(names::kViewReport), &QPushButton::clicked, &dialog,
                   [&] { ViewReport(FromCore(finished.report), finished.report_page); });
  button(names::kUndo)->setEnabled(finished.backup.has_value());
  QObject::connect(button(names::kUndo), &QPushButton::clicked, &dialog,
                   [&] { dialog.done(kUndoAnswer); });
  button(names::kOpenFolder)->setEnabled(!finished.folder.empty());
  QObject::connect(button(names::kOpenFolder), &QPushButton::clicked, &dialog, [&] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(NativePath(finished.folder)));
  });
  return Exec(dialog) == kUndoAnswer;
}

void QtInteraction::ShowBackups() {
  namespace names = desktop::names;
  if (session_ == nullptr) return;
  QDialog dialog(owner_);
  const desktop::Form& form = desktop::BackupsForm();
  dialog.resize(form.width, form.height);
  const auto widgets = BuildForm(form, &dialog);
  auto* list = qobject_cast<QListWidget*>(widgets.at(std::string(names::kBackupList)));
  auto* detail = qobject_cast<QPlainTextEdit*>(widgets.at(std::string(names::kBackupDetail)));
  auto* view = qobject_cast<QPushButton*>(widgets.at(std::string(names::kViewReport)));
  auto* restore = qobject_cast<QPushButton*>(widgets.at(std::string(names::kRestore)));
  std::vector<Backup> backups;
  const auto chosen = [&]() -> const Backup* {
    const int row = list->currentRow();
    return row >= 0 && row < static_cast<int>(backups.size()) ? &backups[row] : nullptr;
  };
  const auto show_chosen = [&] {
    const Backup* backup = chosen();
    detail->setPlainText(backup ? FromCore(desktop::BackupDetail(*backup))
                                : FromCore(session_->Situation()));
    view->setEnabled(backup != nullptr && backup->has_report);
    restore->setEnabled(backup != nullptr);
  };
  const auto load = [&] {
    backups = session_->Backups();
    list->clear();
    for (const Backup& backup : backups) list->addItem(FromCore(BackupLine(backup)));
    if (!backups.empty()) list->setCurrentRow(0);
    show_chosen();
  };
  QObject::connect(list, &QListWidget::currentRowChanged, &dialog, [&] { show_chosen(); });
  QObject::connect(view, &QPushButton::clicked, &dialog, [&] {
    if (const Backup* backup = chosen()) {
      ViewReport(FromCore(BackupReport(*backup, session_->WorkingFolder())), ReportPage(backup->generation.folder));
    }
  });
  QObject::connect(restore, &QPushButton::clicked, &dialog, [&] {
    if (const Backup* backup = chosen(); backup != nullptr && session_->Restore(*backup)) load();
  });
  load();
  Exec(dialog);
}

bool QtInteraction::AskSafe(std::string_view question) {
  return ConfirmText(question, false);  // "No", the safe answer, by default
}

void QtInteraction::Tell(std::string_view message) { InformText(message); }

void QtInteraction::ShowRefusal(const Error& error) { ShowError(error); }

void QtInteraction::ProposeFile(const std::filesystem::path& file) { proposed_file_ = file; }

// "Yes" shows the changes, "No" replaces the tables at once, Escape and the close box stop.
PreviewChoice QtInteraction::OfferPreview() {
  if (session_ == nullptr || !session_->AskPreview()) return PreviewChoice::Replace;
  QDialog question(owner_);
  const desktop::Form& form = desktop::PreviewQuestionForm();
  question.setFixedSize(form.width, form.height);
  const auto widgets = BuildForm(form, &question);
  const int answer = Exec(question);
  if (answer != QDialog::Accepted && answer != kDialogNo) return PreviewChoice::Cancel;
  return session_->AnswerPreviewQuestion(
             answer == QDialog::Accepted,
             qobject_cast<QCheckBox*>(widgets.at(std::string(desktop::names::kDontAskAgain)))
                 ->isChecked())
             ? PreviewChoice::Show
             : PreviewChoice::Replace;
}

bool QtInteraction::ApproveChanges(const TablesPreview& preview) {
  return ShowText(desktop::PreviewForm(), FromCore(RenderPreview(preview))) == QDialog::Accepted;
}

void QtInteraction::InformText(std::string_view message) {
  ShowBox(QMessageBox::Information, MessageText(message));
}

bool QtInteraction::Confirm(Question question) {
  return ConfirmText(QuestionText(question), DefaultAnswer(question));
}

bool QtInteraction::GoOnDespite(const Guard& guard) {
  return ConfirmText(GuardQuestion(guard), false);
}

bool QtInteraction::ConfirmText(std::string_view message, bool yes_by_default) {
  QMessageBox box(QMessageBox::Question, FromCore(desktop::kAppTitle), MessageText(message),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  box.setTextFormat(Qt::PlainText);
  QAbstractButton* yes = box.button(QMessageBox::Yes);
  yes->setText(FromCore(desktop::kYesCaption));
  box.button(QMessageBox::No)->setText(FromCore(desktop::kNoCaption));
  box.setDefaultButton(yes_by_default ? QMessageBox::Yes : QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);  // closing the box answers No
  Exec(box);
  return box.clickedButton() == yes;
}

void QtInteraction::ShowErrorText(const QString& message) {
  ShowBox(QMessageBox::Critical, StandardErrorText(message));
}

// The error's own message, then what the user can do about it.
void QtInteraction::ShowError(const Error& error) {
  ShowBox(QMessageBox::Critical, MessageText(desktop::ErrorBoxText(error)));
}

std::optional<TemplateChoice> QtInteraction::ChooseTemplate(TemplateDialog& dialog) {
  TPlantillas form(dialog, owner_);
  // Only "Continuar" goes on; Escape and the close box end the run.
  if (Exec(form) != QDialog::Accepted) return std::nullopt;
  return dialog.Result();
}

void QtInteraction::ChooseSchoolYear(SchoolYearDialog& dialog) {
  TCurExp form(dialog, owner_);
  Exec(form);
}

void QtInteraction::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace tc::app
