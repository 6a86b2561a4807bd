// What the player asks of the desktop it runs on: message boxes, file dialogs,
// the command line, the previous-instance indicator and the end of the process.
//
// The program uses QtHost; tests plug in a scripted host that answers dialogs
// and records what was shown, so every flow runs without a person.
// Threads: the window thread only.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>

#include <QString>

#include "platform/dialogs.h"  // the message-box styles and answers, kMb… and kId…

namespace calendo {

// The setup of an open or save dialog.
struct FileDialogRequest {
  QString filter;       // "description|patterns|description|patterns", patterns split by ';'
  QString initial_dir;  // folder shown first; empty: the dialog's own choice
  QString file_name;    // name proposed in the dialog
  int32_t flags = 0;    // dialog flags as the window sets them (4: no read-only box)
};

class Host {
 public:
  virtual ~Host() = default;

  // Shows a message box and returns the answer. Styles and answers are the
  // platform's message-box values: a button set (platform::kMbOk, kMbYesNo,
  // kMbCancelTryContinue, …) plus an icon (kMbIconStop, kMbIconExclamation,
  // …); answers platform::kIdOk, kIdCancel, kIdYes, kIdNo, kIdTryAgain, ….
  virtual int32_t MsgBox(const QString& text, int32_t style, const QString& title) = 0;

  // Shows an open or a save dialog and returns the chosen path. Cancelling
  // raises RuntimeError 32755.
  virtual QString ShowOpen(const FileDialogRequest& request) = 0;
  virtual QString ShowSave(const FileDialogRequest& request) = 0;

  // Asks for one line of text under `prompt`; nothing when cancelled.
  virtual std::optional<QString> AskText(const QString& prompt, const QString& title) = 0;

  // Ends the process at once: nothing after this call runs, no destructor,
  // no further event.
  [[noreturn]] void EndProcess() {
    EndProcessNow();
    std::abort();  // an implementation that returned would break the contract
  }

  // Everything after the program name, as one unparsed text.
  virtual QString CommandLine() = 0;

  // Whether another instance of this program is reported as running.
  virtual bool PrevInstance() = 0;

 protected:
  // Ends the process; must not return.
  virtual void EndProcessNow() = 0;
};

}  // namespace calendo
