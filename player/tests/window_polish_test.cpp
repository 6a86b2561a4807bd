// Small things a user meets: Qt's own texts in the window's language, and the
// save dialog opening where the recording is.
#include <QFileInfo>
#include <QTranslator>

#include "playback_fixture.h"
#include "qt/qt_translations.h"

namespace calendo {
namespace {

TEST(QtTranslations, JapaneseBuildGetsQtsJapaneseTexts) {
  QApplication& app = testing::TestApplication();
  const QString english = QCoreApplication::translate("QFileDialog", "Look in:");
  EXPECT_FALSE(InstallQtTranslations(app, "E"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), english);

  ASSERT_TRUE(InstallQtTranslations(app, "J"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), english);
  for (QTranslator* translator : app.findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), english);
}

class SaveDialog : public testing::PlaybackTest {};

TEST_F(SaveDialog, OpensInTheRecordingsFolder) {
  std::filesystem::create_directory(dir_.file("recordings"));
  const std::string path = WriteVqr("recordings/memo.vqr", 3);
  Open(path);
  host_.save_answers.push_back(std::nullopt);  // cancelled
  form().Trans_wav16bit->trigger();
  ASSERT_EQ(host_.save_requests.size(), 1u);
  EXPECT_EQ(host_.save_requests[0].initial_dir, QString::fromStdString(dir_.file("recordings")));
  EXPECT_EQ(host_.save_requests[0].file_name, QStringLiteral("memo.wav"));
  EXPECT_TRUE(Ready());
}

}  // namespace
}  // namespace calendo
