#include "qt/qt_host.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "calendo/client/runtime_error.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "qt/open_file_dialog.h"
#include "window/msg_text.h"

namespace calendo {
namespace {

QMessageBox::Icon IconOf(int32_t style) {
  switch (platform::message_box_icon(style)) {
    case platform::MessageBoxIcon::stop:
      return QMessageBox::Critical;
    case platform::MessageBoxIcon::question:
      return QMessageBox::Question;
    case platform::MessageBoxIcon::exclamation:
      return QMessageBox::Warning;
    case platform::MessageBoxIcon::information:
      return QMessageBox::Information;
    case platform::MessageBoxIcon::none:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole RoleOf(int32_t answer) {
  switch (answer) {
    case platform::kIdOk:
      return QMessageBox::AcceptRole;
    case platform::kIdCancel:
      return QMessageBox::RejectRole;
    case platform::kIdYes:
      return QMessageBox::YesRole;
    case platform::kIdNo:
      return QMessageBox::NoRole;
    default:
      return QMessageBox::ActionRole;
  }
}

}  // namespace

QString CommandLineFromArguments(const QStringList& arguments) {
  return arguments.mid(1).join(QLatin1Char(' '));
}

QString QtFileDialogFilter(const QString& pipe_filter) {
  const QStringList parts = pipe_filter.split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // A description that names its patterns itself ("wav file(*.wav)") gives
    // them up for Qt's own list, so that they show once.
    QString description = parts[i];
    if (description.endsWith(QLatin1Char(')'))) {
      const qsizetype open = description.lastIndexOf(QLatin1Char('('));
      if (open > 0) description = description.left(open).trimmed();
    }
    entries << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return entries.join(QStringLiteral(";;"));
}

QString MessageBoxButtonText(int32_t answer, std::string_view lang_code) {
  const bool japanese = lang_code == "J";
  switch (answer) {
    case platform::kIdOk:
      return QStringLiteral("OK");
    case platform::kIdCancel:
      return japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel");
    case platform::kIdAbort:
      return japanese ? QStringLiteral("中止(&A)") : QStringLiteral("&Abort");
    case platform::kIdRetry:
      return japanese ? QStringLiteral("再試行(&R)") : QStringLiteral("&Retry");
    case platform::kIdIgnore:
      return japanese ? QStringLiteral("無視(&I)") : QStringLiteral("&Ignore");
    case platform::kIdYes:
      return japanese ? QStringLiteral("はい(&Y)") : QStringLiteral("&Yes");
    case platform::kIdNo:
      return japanese ? QStringLiteral("いいえ(&N)") : QStringLiteral("&No");
    case platform::kIdTryAgain:
      return japanese ? QStringLiteral("再実行(&T)") : QStringLiteral("&Try Again");
    case platform::kIdContinue:
      return japanese ? QStringLiteral("続行(&C)") : QStringLiteral("&Continue");
    default:
      return QString::number(answer);
  }
}

QtHost::QtHost(const QStringList& arguments) : command_line_(CommandLineFromArguments(arguments)) {}

int32_t QtHost::MsgBox(const QString& text, int32_t style, const QString& title) {
  QMessageBox box(IconOf(style), title, text, QMessageBox::NoButton, owner_);
  const int32_t default_answer = platform::message_box_default_answer(style);
  std::vector<std::pair<QAbstractButton*, int32_t>> buttons;
  QAbstractButton* cancel = nullptr;
  for (int32_t answer : platform::message_box_buttons(style)) {
    QPushButton* button = box.addButton(MessageBoxButtonText(answer, LangCode), RoleOf(answer));
    buttons.emplace_back(button, answer);
    if (answer == default_answer) box.setDefaultButton(button);
    if (answer == platform::kIdCancel) cancel = button;
  }
  // Escape and the close box give Cancel where the box has it, else its only button.
  if (cancel != nullptr) {
    box.setEscapeButton(cancel);
  } else if (buttons.size() == 1) {
    box.setEscapeButton(buttons.front().first);
  }
  box.exec();
  for (const auto& [button, answer] : buttons) {
    if (box.clickedButton() == button) return answer;
  }
  return default_answer;
}

QString QtHost::ShowOpen(const FileDialogRequest& request) {
  OpenFileDialog dialog(owner_, request);
  if (dialog.exec() != QDialog::Accepted || dialog.ChosenPath().isEmpty()) {
    Raise(kErrDialogCancelled);
  }
  return dialog.ChosenPath();
}

QString QtHost::ShowSave(const FileDialogRequest& request) {
  QString start = request.file_name;
  if (!request.initial_dir.isEmpty()) start = request.initial_dir + QLatin1Char('/') + start;
  // The window asks about replacing a file itself.
  const QString path =
      QFileDialog::getSaveFileName(owner_, QString(), start, QtFileDialogFilter(request.filter),
                                   nullptr, QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) Raise(kErrDialogCancelled);
  return path;
}

std::optional<QString> QtHost::AskText(const QString& prompt, const QString& title) {
  bool accepted = false;
  const QString text =
      QInputDialog::getText(owner_, title, prompt, QLineEdit::Normal, QString(), &accepted);
  if (!accepted) return std::nullopt;
  return text;
}

void QtHost::EndProcessNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

bool QtHost::PrevInstance() {
  if (!prev_instance_) {
    prev_instance_ =
        platform::desktop_take_instance_lock("calendo") == platform::InstanceLock::held_elsewhere;
  }
  return *prev_instance_;
}

}  // namespace calendo
