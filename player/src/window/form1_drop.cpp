// A recorder file dropped on the window opens and plays as a file handed over
// by another start of the program does (MsgCtl_OnCopyData). While a
// conversion runs the window takes no drop: the file would play while the
// conversion decodes.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "qt/file_kind_name.h"
#include "window/form1.h"

namespace calendo {
namespace {

// The first local recorder file among the dropped ones; empty when none is.
QString RecorderFileOf(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    const QString path = url.toLocalFile();
    if (!path.isEmpty() && RecorderContainerOfName(path)) return path;
  }
  return {};
}

class RecorderFileDrop : public QObject {
 public:
  explicit RecorderFileDrop(Form1& form) : QObject(&form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &form_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (form_.ConvActive == 0 && !RecorderFileOf(drag->mimeData()).isEmpty()) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = RecorderFileOf(drop->mimeData());
        if (form_.ConvActive != 0 || path.isEmpty()) {
          drop->ignore();
          return true;
        }
        drop->acceptProposedAction();
        // Handled once the drop is over: the hand-off waits and lets events
        // run, which the source of the drag must not wait for.
        QMetaObject::invokeMethod(
            &form_,
            [form = &form_, path] {
              if (form->ConvActive != 0) return;
              form->RunHandler([&] { form->MsgCtl_OnCopyData(0, path); });
            },
            Qt::QueuedConnection);
        return true;
      }
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  Form1& form_;
};

}  // namespace

void Form1::SetUpDrops() {
  setAcceptDrops(true);
  installEventFilter(new RecorderFileDrop(*this));
}

}  // namespace calendo
