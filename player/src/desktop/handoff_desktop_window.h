// The player's window as other programs on the user's desktop see it
// (platform/desktop.h): its entry in the desktop's window list, with the title
// kept current and the place in the z-order following activation; requests
// from other programs, read inside the window thread's event processing;
// bring-to-front requests carried out on the real window; and the MsgCtl
// control of ravlet that turns copy-data messages into OnCopyData calls.
//
// Threads: the window thread only. Owned by the window it serves; everything
// it registered is withdrawn when it goes (or at Withdraw()).
#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QWidget>

#include "calendo/client/imports.h"
#include "platform/desktop.h"

namespace calendo {

class HandoffDesktopWindow : public QObject {
 public:
  // OnCopyData(first, text), the text decoded from the system's encoding.
  using CopyDataHandler = std::function<void(int32_t first, const QString& text)>;

  explicit HandoffDesktopWindow(QWidget* window);
  ~HandoffDesktopWindow() override;
  HandoffDesktopWindow(const HandoffDesktopWindow&) = delete;
  HandoffDesktopWindow& operator=(const HandoffDesktopWindow&) = delete;

  // Puts the window on the desktop, at the top of the z-order (once; later
  // calls return the same handle), without a title until PublishTitle(). 0
  // when the desktop's directory is refused.
  platform::DesktopWindow Register();
  // Shows the window's title to other programs, from now on at every change.
  void PublishTitle();
  platform::DesktopWindow handle() const { return handle_; }

  // Attaches a MsgCtl to the registered window. Raises the binding's run-time
  // error when ravlet or its exports are missing; false when attaching fails.
  bool AttachMsgCtl(CopyDataHandler handler);

  // Removes the control and the desktop entry.
  void Withdraw();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static void OnCopyData(void* user, int32_t first, const char* text);
  void BringToFront();

  QWidget* window_;
  platform::DesktopWindow handle_ = 0;
  bool title_published_ = false;
  std::unique_ptr<QSocketNotifier> requests_;
  MsgCtl* msg_ctl_ = nullptr;
  void (*destroy_msg_ctl_)(MsgCtl*) = nullptr;  // bound with the control, used to free it
  CopyDataHandler on_copy_data_;
};

}  // namespace calendo
