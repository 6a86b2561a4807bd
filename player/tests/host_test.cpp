// The Qt host's boxes, command line and filters, and the file dialog control.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "calendo/client/runtime_error.h"
#include "qt/common_dialog.h"
#include "qt/qt_host.h"
#include "scripted_host.h"
#include "test_app.h"
#include "window/msg_text.h"

namespace calendo {
namespace {

// Shows a box through the Qt host and clicks the button captioned `click`;
// returns the answer and the captions the box offered.
std::pair<int32_t, QStringList> AnswerBox(int32_t style, const QString& click) {
  testing::TestApplication();
  QtHost host({QStringLiteral("calendo")});
  QStringList captions;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    icon = box->icon();
    for (QAbstractButton* button : box->buttons()) captions << button->text();
    for (QAbstractButton* button : box->buttons()) {
      if (button->text() == click) button->click();
    }
  });
  const int32_t answer = host.MsgBox(QStringLiteral("text"), style, QStringLiteral("Calendo"));
  if ((style & 0xF0) == 48) {
    EXPECT_EQ(icon, QMessageBox::Warning);
  }
  return {answer, captions};
}

TEST(QtHost_MsgBox, StyleSixOffersCancelTryAgainContinue) {
  const auto [answer, captions] = AnswerBox(6, MessageBoxButtonText(10, LangCode));
  EXPECT_EQ(answer, 10);
  EXPECT_EQ(captions.size(), 3);
  EXPECT_EQ(captions,
            (QStringList{MessageBoxButtonText(2, LangCode), MessageBoxButtonText(10, LangCode),
                         MessageBoxButtonText(11, LangCode)}));
}

TEST(QtHost_MsgBox, AnswersWithWindowsNumbers) {
  const QString yes = MessageBoxButtonText(6, LangCode);
  const QString no = MessageBoxButtonText(7, LangCode);
  EXPECT_EQ(AnswerBox(4, no).first, 7);
  EXPECT_EQ(AnswerBox(4, yes).first, 6);
  EXPECT_EQ(AnswerBox(48, QStringLiteral("OK")).first, 1);
  EXPECT_EQ(AnswerBox(0, QStringLiteral("OK")).second, QStringList{QStringLiteral("OK")});
}

TEST(QtHost_Texts, ButtonCaptionsInBothLanguages) {
  EXPECT_EQ(MessageBoxButtonText(10, "E"), QStringLiteral("&Try Again"));
  EXPECT_EQ(MessageBoxButtonText(11, "E"), QStringLiteral("&Continue"));
  EXPECT_EQ(MessageBoxButtonText(2, "J"), QStringLiteral("キャンセル"));
  EXPECT_EQ(MessageBoxButtonText(6, "J"), QStringLiteral("はい(&Y)"));
}

TEST(QtHost_CommandLine, ArgumentsAfterTheProgramJoinedBySpaces) {
  EXPECT_EQ(CommandLineFromArguments({QStringLiteral("calendo")}), QString());
  EXPECT_EQ(CommandLineFromArguments({QStringLiteral("calendo"), QStringLiteral("/a b/memo.vqr")}),
            QStringLiteral("/a b/memo.vqr"));
  EXPECT_EQ(CommandLineFromArguments(
                {QStringLiteral("calendo"), QStringLiteral("/a"), QStringLiteral("b.vqr")}),
            QStringLiteral("/a b.vqr"));
  QtHost host({QStringLiteral("/usr/bin/calendo"), QStringLiteral("x.VQM")});
  EXPECT_EQ(host.CommandLine(), QStringLiteral("x.VQM"));
}

TEST(QtHost_Filter, PipeFilterBecomesQtFilter) {
  EXPECT_EQ(QtFileDialogFilter(QStringLiteral("Orvo IC Recorder files(*.vqr;*.vqm)|*.vqr;*.vqm")),
            QStringLiteral("Orvo IC Recorder files (*.vqr *.vqm)"));
  EXPECT_EQ(QtFileDialogFilter(QStringLiteral("wav file(*.wav)|*.wav|All|*")),
            QStringLiteral("wav file (*.wav);;All (*)"));
  EXPECT_EQ(QtFileDialogFilter(QString()), QString());
}

TEST(CommonDialog_Cancel, RaisesWhenCancelErrorIsOnElseEmptiesTheName) {
  testing::ScriptedHost host;
  CommonDialog dialog(host);
  dialog.Filter = QStringLiteral("wav file(*.wav)|*.wav");
  dialog.Flags = 4;
  dialog.FileName = QStringLiteral("memo.wav");
  dialog.CancelError = true;
  try {
    dialog.ShowSave();
    FAIL() << "cancel raised nothing";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), kErrDialogCancelled);
  }
  ASSERT_EQ(host.save_requests.size(), 1u);
  EXPECT_EQ(host.save_requests[0].file_name, QStringLiteral("memo.wav"));
  EXPECT_EQ(host.save_requests[0].flags, 4);

  dialog.CancelError = false;
  dialog.ShowOpen();
  EXPECT_TRUE(dialog.FileName.isEmpty());

  host.open_answers.push_back(QStringLiteral("/tmp/memo.vqr"));
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/memo.vqr"));
}

}  // namespace
}  // namespace calendo
