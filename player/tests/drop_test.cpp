// A recorder file dropped on the window plays as a handed-over one does; other
// files, and any file while a conversion runs, are not taken.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "handoff_processes.h"
#include "playback_fixture.h"

namespace calendo {
namespace {

using testing::SameSound;

class Drop : public testing::PlaybackTest {
 protected:
  // Drags `path` onto the window; whether the window would take it.
  bool Enter(const std::string& path) {
    mime_.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime_, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form(), &enter);
    return enter.isAccepted();
  }

  bool DropIt() {
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime_, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form(), &drop);
    return drop.isAccepted();
  }

  QMimeData mime_;
};

TEST_F(Drop, DroppedRecorderFileOpensAndPlays) {
  const std::string path = WriteVqm("memo.vqm", 6, false);
  const auto expected = Heard(path, 1, Pages(0, 5));
  ResetDecoder();
  ASSERT_TRUE(Enter(path));
  ASSERT_TRUE(DropIt());
  ASSERT_TRUE(testing::ServeUntil(
      [&] { return form().OpenPending == kFalse && form().PlayActive == 0 && Ready(); },
      std::chrono::seconds(20), [this] { pump_.ProcessEventsOrWait(); }));

  EXPECT_EQ(form().PlayFileName, QString::fromStdString(path));
  EXPECT_EQ(form().FileKind, 1);
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - memo.vqm"));
  EXPECT_TRUE(SameSound(ReadCapture(dir_.file("heard.wav").string()).samples, expected));
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(Drop, OtherFilesAndDropsDuringAConversionAreNotTaken) {
  const std::string text = dir_.file("notes.txt").string();
  std::ofstream(text) << "x";
  EXPECT_FALSE(Enter(text));
  EXPECT_FALSE(DropIt());

  const std::string path = WriteVqr("memo.vqr", 3);
  form().ConvActive = 1;
  EXPECT_FALSE(Enter(path));
  EXPECT_FALSE(DropIt());
  form().ConvActive = 0;
  pump_.ProcessEvents();
  EXPECT_FALSE(form().Timer1->isActive());
  EXPECT_TRUE(form().PlayFileName.trimmed().isEmpty());
}

}  // namespace
}  // namespace calendo
