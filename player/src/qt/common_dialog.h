// CommonDialog1: the window's file dialog, with the properties the commands
// set before they show it. Showing goes through the Host.
#pragma once

#include <cstdint>

#include <QString>

#include "qt/host.h"

namespace calendo {

class CommonDialog {
 public:
  explicit CommonDialog(Host& host) : host_(host) {}

  // When true, cancelling a dialog raises RuntimeError 32755; when false the
  // dialog returns with an empty FileName.
  bool CancelError = false;
  int32_t Flags = 0;
  QString Filter;  // "description|patterns|…"
  QString InitDir;
  QString FileName;  // proposed before, chosen after showing

  void ShowOpen() { Show(false); }
  void ShowSave() { Show(true); }

 private:
  void Show(bool save);

  Host& host_;
};

}  // namespace calendo
