// The host of the real program: Qt message boxes and file dialogs, the
// process's own command line, the desktop's instance lock, and _Exit.
#pragma once

#include <optional>
#include <string_view>

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "qt/host.h"

namespace calendo {

class QtHost final : public Host {
 public:
  // `arguments` as QCoreApplication gives them: the program name first, Qt's
  // own options already taken out.
  explicit QtHost(const QStringList& arguments);

  // The window that owns boxes and dialogs (none until set).
  void SetOwner(QWidget* owner) { owner_ = owner; }

  int32_t MsgBox(const QString& text, int32_t style, const QString& title) override;
  QString ShowOpen(const FileDialogRequest& request) override;
  QString ShowSave(const FileDialogRequest& request) override;
  std::optional<QString> AskText(const QString& prompt, const QString& title) override;
  QString CommandLine() override { return command_line_; }
  bool PrevInstance() override;

 protected:
  void EndProcessNow() override;

 private:
  QPointer<QWidget> owner_;
  QString command_line_;
  std::optional<bool> prev_instance_;
};

// The arguments after the program name, joined by single spaces.
QString CommandLineFromArguments(const QStringList& arguments);

// A "description|patterns|…" filter as Qt's file dialogs take it:
// "description (pattern pattern)" entries joined by ";;"; patterns the
// description names in parentheses of its own are left out of it.
QString QtFileDialogFilter(const QString& pipe_filter);

// The caption of the button that gives `answer`, in the language `lang_code`.
QString MessageBoxButtonText(int32_t answer, std::string_view lang_code);

}  // namespace calendo
