#include "qt/common_dialog.h"

#include "calendo/client/runtime_error.h"

namespace calendo {

void CommonDialog::Show(bool save) {
  const FileDialogRequest request{Filter, InitDir, FileName, Flags};
  try {
    FileName = save ? host_.ShowSave(request) : host_.ShowOpen(request);
  } catch (const RuntimeError& error) {
    if (error.number() != kErrDialogCancelled || CancelError) throw;
    FileName.clear();
  }
}

}  // namespace calendo
