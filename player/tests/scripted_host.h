// A Host for tests: answers message boxes and dialogs from a script, records
// what was shown, and ends the process for real (after writing the end into
// the test journal), so that exit paths can be run in a child process.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "qt/host.h"

namespace calendo::testing {

class ScriptedHost final : public Host {
 public:
  struct Box {
    QString text;
    int32_t style;
    QString title;
  };

  // What the next calls answer. A box without a scripted answer gives its
  // default button; a dialog without one is cancelled.
  std::deque<int32_t> box_answers;
  std::deque<std::optional<QString>> open_answers;
  std::deque<std::optional<QString>> save_answers;
  std::deque<std::optional<QString>> text_answers;  // none left: cancelled
  QString command_line;
  bool prev_instance = false;
  int exit_code = 0;  // the code EndProcess ends the process with

  // What was asked.
  std::vector<Box> boxes;
  std::vector<FileDialogRequest> open_requests;
  std::vector<FileDialogRequest> save_requests;
  std::vector<QString> text_prompts;

  int32_t MsgBox(const QString& text, int32_t style, const QString& title) override;
  QString ShowOpen(const FileDialogRequest& request) override;
  QString ShowSave(const FileDialogRequest& request) override;
  std::optional<QString> AskText(const QString& prompt, const QString& title) override;
  QString CommandLine() override { return command_line; }
  bool PrevInstance() override { return prev_instance; }

 protected:
  void EndProcessNow() override;
};

}  // namespace calendo::testing
