// File > Open: the dialog, the file kind by the name's ending, the three
// refusals, and the window set up over the pages of the file.
#include <unistd.h>

#include <filesystem>

#include <QDir>

#include "playback_fixture.h"

namespace calendo {
namespace {

class PlaybackOpen : public testing::PlaybackTest {
 protected:
  bool NoFileOpen() {
    return form().PlayFileName.isEmpty() && !form().PlaySlider->isEnabled() &&
           form().PlayTimeLabel->text().isEmpty() && form().windowTitle() == "Calendo" &&
           !form().M_transwav->menuAction()->isEnabled() && !form().PlayX->isEnabled() &&
           form().OpenFailed == kTrue;
  }
};

TEST_F(PlaybackOpen, OpenSetsTheWindowUpOverThePages) {
  const std::string path = WriteVqr("memo.vqr", 7, [](int page) { return page >= 5; });
  Open(path);
  ASSERT_EQ(host_.open_requests.size(), 1u);
  EXPECT_EQ(host_.open_requests[0].filter,
            QStringLiteral("Orvo IC Recorder files(*.vqr;*.vqm)|*.vqr;*.vqm"));
  EXPECT_EQ(host_.open_requests[0].flags, 4);
  EXPECT_EQ(host_.open_requests[0].initial_dir, QDir::currentPath());  // no file open yet
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(form().FileKind, 0);
  EXPECT_EQ(form().PageCount, 7);
  EXPECT_EQ(form().SplpTable, (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(form().PlaySlider->maximum(), 6);
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_TRUE(form().PlaySlider->isEnabled());
  EXPECT_EQ(form().TotalTimeText, strFormatTime(static_cast<int32_t>(5 * form().Splp.page_ms[0] +
                                                                     2 * form().Splp.page_ms[1])));
  EXPECT_EQ(form().TimeMs, 0);  // the time shown: page 0
  EXPECT_EQ(form().PlayTimeLabel->text(),
            QStringLiteral("[00 : 00 : 00 / ") + form().TotalTimeText + "]");
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - memo.vqr"));
  EXPECT_TRUE(form().M_transwav->menuAction()->isEnabled());
  EXPECT_TRUE(Ready());
}

// The dialog starts in the folder of the file open now, else in the current
// folder (never the program's own).
TEST_F(PlaybackOpen, DialogStartsInTheOpenFilesFolderElseTheCurrentOne) {
  std::filesystem::create_directory(dir_.file("cards"));
  const std::string path = WriteVqr("cards/memo.vqr", 3);
  Open(path);
  host_.open_answers.push_back(std::nullopt);  // cancelled
  form().RunHandler([&] { form().M_fileopen_Click(); });
  ASSERT_EQ(host_.open_requests.size(), 2u);
  EXPECT_EQ(host_.open_requests[1].initial_dir,
            QString::fromStdString(dir_.file("cards").string()));

  // A refused file leaves none open.
  Open(dir_.file("missing.vqr").string());
  host_.open_answers.push_back(std::nullopt);
  form().RunHandler([&] { form().M_fileopen_Click(); });
  ASSERT_EQ(host_.open_requests.size(), 4u);
  EXPECT_EQ(host_.open_requests[3].initial_dir, QDir::currentPath());
  EXPECT_NE(host_.open_requests[3].initial_dir, QCoreApplication::applicationDirPath());
}

TEST_F(PlaybackOpen, OnePageFileRunsTheSliderFromZeroToZero) {
  const std::string path = WriteVqr("one.vqr", 1);
  Open(path);
  EXPECT_EQ(form().PageCount, 1);
  EXPECT_EQ(form().PlaySlider->minimum(), 0);
  EXPECT_EQ(form().PlaySlider->maximum(), 0);
  EXPECT_EQ(form().TotalTimeText, strFormatTime(static_cast<int32_t>(form().Splp.page_ms[0])));
  EXPECT_EQ(form().PlayTimeLabel->text(),
            QStringLiteral("[00 : 00 : 00 / ") + form().TotalTimeText + "]");
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackOpen, MixedCaseVqrEndingIsTakenForVqmAndRefused) {
  const std::string path = WriteVqr("memo.Vqr", 3);
  Open(path);
  EXPECT_EQ(form().FileKind, 1);
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, form().MsgText[kMsgWrongFormat]);
  EXPECT_EQ(host_.boxes[0].style, 48);
  EXPECT_EQ(host_.boxes[0].title, QStringLiteral("Calendo"));
  EXPECT_TRUE(NoFileOpen());
}

TEST_F(PlaybackOpen, FileThatCannotBeOpenedIsRefused) {
  Open(dir_.file("gone.vqr").string());
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, form().OpenErrText);
  EXPECT_EQ(host_.boxes[0].style, 48);
  EXPECT_TRUE(NoFileOpen());
}

TEST_F(PlaybackOpen, FileWithoutAWholePageGivesFileOpenErrorAndKeepsTheName) {
  testkit::VqrFile file;
  file.trailing.assign(527, 0);
  const std::string path = dir_.file("short.vqr").string();
  file.write(path);
  ASSERT_EQ(std::filesystem::file_size(path), 92u + 527u);
  Open(path);
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, form().OpenErrText);
  EXPECT_EQ(host_.boxes[0].style, 6);
  EXPECT_EQ(host_.boxes[0].title, QStringLiteral("FileOpenError"));
  for (QPushButton* button : {form().PlayX, form().CueX, form().RevX, form().StopX}) {
    EXPECT_FALSE(button->isEnabled());
  }
  EXPECT_FALSE(form().M_transwav->menuAction()->isEnabled());
  EXPECT_EQ(form().PlayFileName, QString::fromStdString(path));
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - short.vqr"));
}

TEST_F(PlaybackOpen, CancelledDialogChangesNothingButStopsAndRewindsTheSlider) {
  const std::string path = WriteVqr("memo.vqr", 4);
  Open(path);
  form().PlaySlider->setValue(3);
  form().RunHandler([&] { form().M_fileopen_Click(); });  // no answer: cancelled
  EXPECT_EQ(form().PlayFileName, QString::fromStdString(path));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_EQ(form().PageCount, 4);
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(PlaybackOpen, TableGrowsPastSixtyFourThousandPages) {
  // A sparse file: every page's flag reads 0, so every page is an SP page.
  constexpr int kPages = 70000;
  testkit::VqrFile file;
  file.header.sp_pages = kPages;
  const std::string path = dir_.file("long.vqr").string();
  file.write(path);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(92 + 528LL * kPages)), 0);
  Open(path);
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(form().PageCount, kPages);
  EXPECT_GE(form().SplpTable.size(), static_cast<std::size_t>(kPages));
  EXPECT_EQ(form().PlaySlider->maximum(), kPages - 1);
  EXPECT_EQ(form().TotalTimeText,
            strFormatTime(static_cast<int32_t>(kPages * form().Splp.page_ms[0])));
  int32_t last = kPages - 1;
  form().TimeDisplay(last);
  EXPECT_EQ(form().TimeMs, static_cast<int32_t>(kPages * form().Splp.page_ms[0]));
}

TEST_F(PlaybackOpen, HandedOverFileThatCannotBeOpenedIsRefusedLikeFileOpenRefusesIt) {
  Open(WriteVqr("first.vqr", 12));
  form().PlayFileName = QString::fromStdString(dir_.file("gone.vqr").string());
  form().OpenPending = kTrue;
  form().Timer1->start();
  form().RunHandler([&] { form().Timer1_Timer(); });
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, form().OpenErrText);
  EXPECT_EQ(host_.boxes[0].style, 48);
  EXPECT_TRUE(NoFileOpen());
  EXPECT_FALSE(form().Timer1->isActive());
}

TEST_F(PlaybackOpen, HandedOverFileThatIsNoRecorderFileIsForgotten) {
  const std::string path = dir_.file("fake.vqm").string();
  testkit::write_file(path, std::vector<uint8_t>(600, 0x41));
  form().PlayFileName = QString::fromStdString(path);
  form().OpenPending = kTrue;
  form().Timer1->start();
  form().RunHandler([&] { form().Timer1_Timer(); });
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, form().MsgText[kMsgWrongFormat]);
  EXPECT_EQ(host_.boxes[0].style, 48);
  EXPECT_TRUE(form().PlayFileName.isEmpty());
  EXPECT_FALSE(form().PlaySlider->isEnabled());
  EXPECT_FALSE(form().Timer1->isActive());
  EXPECT_EQ(form().OpenPending, kFalse);
}

}  // namespace
}  // namespace calendo
