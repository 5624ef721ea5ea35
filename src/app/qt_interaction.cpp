#include "app/qt_interaction.h"

#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QPushButton>

#include "app/form_builder.h"
#include "app/school_year_form.h"
#include "app/template_form.h"
#include "app/ui_text.h"
#include "desktop/forms.h"
#include "report/render.h"
#include "run/preview.h"
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
  if (notice != Notice::Finished || !report_) {
    InformText(NoticeText(notice));
    return;
  }
  // "Proceso finalizado", with the run's report one button away.
  QMessageBox box(QMessageBox::Information, FromCore(desktop::kAppTitle),
                  MessageText(NoticeText(notice)), QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(FromCore(desktop::kOkCaption));
  QPushButton* view = box.addButton(FromCore(desktop::kViewReportCaption), QMessageBox::ActionRole);
  view->setObjectName(QStringLiteral("VerInforme"));
  Exec(box);
  const QString report = *std::exchange(report_, std::nullopt);
  const std::filesystem::path page = std::exchange(report_page_, {});
  if (box.clickedButton() != view) return;
  // The page in the system's browser; the text when there is no page or no browser.
  std::error_code error;
  if (!page.empty() && std::filesystem::is_regular_file(page, error)) {
    const bool opened = open_page_ ? open_page_(page)
                                   : QDesktopServices::openUrl(QUrl::fromLocalFile(
                                         QString::fromStdWString(page.wstring())));
    if (opened) return;
  }
  ShowText(desktop::ReportForm(), report);
}

void QtInteraction::ReportReady(const report::Report& report) {
  report_ = FromCore(report::RenderText(report));
}

void QtInteraction::ReportPageKept(const std::filesystem::path& page) { report_page_ = page; }

int QtInteraction::ShowText(const desktop::Form& form, const QString& text) {
  QDialog dialog(owner_);
  dialog.resize(form.width, form.height);
  const auto widgets = BuildForm(form, &dialog);
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(widgets.at("Panel1"));
  qobject_cast<QPlainTextEdit*>(widgets.at(std::string(desktop::names::kText)))
      ->setPlainText(text);
  return Exec(dialog);
}

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
