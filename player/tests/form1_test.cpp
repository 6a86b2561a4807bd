// The window after start-up, its button states and its time display.
#include <chrono>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>
#include <QMenuBar>

#include "scripted_host.h"
#include "test_app.h"
#include "window/form1.h"

namespace calendo {
namespace {

using testing::ScriptedHost;

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApplication();
    binding::SetLibraryDirectory(CALENDO_PLAYER_STUB_DIR);
  }
  void TearDown() override {
    form_.reset();
    binding::SetLibraryDirectory({});
  }

  Form1& Start(const QString& command_line, std::string_view lang = "J") {
    host_.command_line = command_line;
    form_ = std::make_unique<Form1>(host_, pump_, lang);
    form_->Form_Load();
    return *form_;
  }

  // Shown as far as the window goes, whether or not the window itself is shown.
  static bool Shown(const QWidget* control) { return !control->isHidden(); }

  QApplication& app_ = testing::TestApplication();  // before anything of Qt
  ScriptedHost host_;
  EventPump pump_;
  std::unique_ptr<Form1> form_;
};

TEST_F(Form1Test, StartWithoutArgumentsLeavesTheIdleWindow) {
  Form1& form = Start(QString());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Calendo"));
  EXPECT_EQ(form.PlayTimeLabel->text(), QStringLiteral(" "));
  for (QPushButton* button : {form.PlayX, form.StopX, form.CueX, form.RevX}) {
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(Shown(button));
  }
  EXPECT_TRUE(Shown(form.Cancelx));
  EXPECT_TRUE(form.Cancelx->isEnabled());
  EXPECT_TRUE(Shown(form.EXITX));
  EXPECT_TRUE(form.EXITX->isEnabled());
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_EQ(form.Timer1->interval(), 100);
  EXPECT_EQ(form.OpenPending, kFalse);
  EXPECT_EQ(form.OpenFailed, kFalse);
  EXPECT_FALSE(form.PlaySlider->isEnabled());
  EXPECT_EQ(form.PlaySlider->pageStep(), 1);
  EXPECT_FALSE(Shown(form.ProgressBar1));
  EXPECT_FALSE(form.M_transwav->menuAction()->isEnabled());
  EXPECT_TRUE(form.CommonDialog1.CancelError);
  EXPECT_EQ(form.PlayFileName, QString());
  EXPECT_EQ(form.ConvFileName, QStringLiteral(" "));
  EXPECT_EQ(form.OpenErrText, form.MsgText[kMsgCannotOpen]);
  EXPECT_TRUE(form.LoadSkippedErrors().empty());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(Form1Test, RecorderFileOnTheCommandLineIsScheduledForOpening) {
  struct Case {
    const char* command_line;
    int16_t kind;
  };
  for (const Case& c : {Case{"/home/u/memo.vqr", 0}, Case{"/home/u/MEMO.VQR", 0},
                        Case{"/home/u/a b/memo.vqm", 1}, Case{"MEMO.VQM", 1}}) {
    Form1& form = Start(QString::fromUtf8(c.command_line));
    EXPECT_EQ(form.PlayFileName, QString::fromUtf8(c.command_line));
    EXPECT_EQ(form.OpenPending, kTrue) << c.command_line;
    EXPECT_TRUE(form.Timer1->isActive()) << c.command_line;
    EXPECT_EQ(form.FileKind, c.kind) << c.command_line;
  }
}

TEST_F(Form1Test, OtherEndingsStayInPlayFileNameAndOpenNothing) {
  for (const char* command_line :
       {"/home/u/memo.Vqr", "\"/home/u/memo.vqr\"", "memo.wav", "memo.vqr -x", "qr"}) {
    Form1& form = Start(QString::fromUtf8(command_line));
    EXPECT_EQ(form.PlayFileName, QString::fromUtf8(command_line));
    EXPECT_EQ(form.OpenPending, kFalse) << command_line;
    EXPECT_FALSE(form.Timer1->isActive()) << command_line;
    EXPECT_EQ(form.FileKind, 0);
  }
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(Form1Test, EnglishCaptionsComeFromTheTable) {
  Form1& form = Start(QString(), "E");
  EXPECT_EQ(form.F1->title(), QStringLiteral("File"));
  EXPECT_EQ(form.M_fileopen->text(), QStringLiteral("Open"));
  EXPECT_EQ(form.M_transwav->title(), QStringLiteral("Convert to wave "));
  EXPECT_EQ(form.Trans_wav8bit->text(), QStringLiteral("Save As 8bit wave "));
  EXPECT_EQ(form.Trans_wav16bit->text(), QStringLiteral("Save As 16bit wave "));
  EXPECT_TRUE(form.sepa1->isSeparator());
  EXPECT_TRUE(form.sepa1->text().isEmpty());
  EXPECT_EQ(form.EXIT0->text(), QStringLiteral("Exit"));
  EXPECT_EQ(form.EXITX->text(), QStringLiteral("Exit"));
  EXPECT_EQ(form.Cancelx->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Calendo"));
}

TEST_F(Form1Test, JapaneseCaptionsAndTheMenuInItsOrder) {
  Form1& form = Start(QString(), "J");
  const QList<QAction*> items = form.F1->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0], form.M_fileopen);
  EXPECT_EQ(items[1], form.M_transwav->menuAction());
  EXPECT_EQ(items[2], form.sepa1);
  EXPECT_EQ(items[3], form.EXIT0);
  EXPECT_EQ(form.M_fileopen->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(form.F1->title(), QStringLiteral("ファイル"));
  EXPECT_EQ(form.M_fileopen->text(), QStringLiteral("ファイルを開く"));
  EXPECT_EQ(form.M_transwav->title(), QStringLiteral("wave fileに変換する"));
  EXPECT_EQ(form.EXIT0->text(), QStringLiteral("終了"));
  EXPECT_EQ(form.EXITX->text(), QStringLiteral("終了"));
  EXPECT_EQ(form.Cancelx->text(), QStringLiteral("キャンセル"));
  EXPECT_EQ(form.MsgText[kMsgTitle], QStringLiteral("Calendo"));
}

TEST_F(Form1Test, MissingWaveOutputLibraryIsSkippedAndStartUpGoesOn) {
  binding::SetLibraryDirectory("/nonexistent/calendo-libraries");
  Form1& form = Start(QStringLiteral("memo.vqr"));
  // WavStop and WavDestroy each raised 53; every later step still ran.
  EXPECT_EQ(form.LoadSkippedErrors(), (std::vector<int32_t>{kErrFileNotFound, kErrFileNotFound}));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Calendo"));
  EXPECT_EQ(form.EXITX->text(), QStringLiteral("終了"));
  EXPECT_EQ(form.PlayTimeLabel->text(), QStringLiteral(" "));
  EXPECT_EQ(form.OpenPending, kTrue);
  EXPECT_TRUE(form.Timer1->isActive());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(Form1Test, ButtonRowMovesToItsShareOfTheClientHeight) {
  Form1& form = Start(QString());
  const QWidget* client = form.ClientArea();
  const float scale_height = static_cast<float>(client->height() * 15);
  const int row = PixelsFromTwips(scale_height * 85.0f / 115.0f);
  for (QPushButton* button :
       {form.PlayX, form.StopX, form.CueX, form.Cancelx, form.RevX, form.EXITX}) {
    EXPECT_EQ(button->y(), row);
  }
  // Left positions and sizes as designed.
  EXPECT_EQ(form.PlayX->geometry(), QRect(8, row, 65, 25));
  EXPECT_EQ(form.EXITX->x(), 296);
  EXPECT_EQ(form.Cancelx->x(), form.CueX->x());
  EXPECT_EQ(form.PlayTimeLabel->geometry(), QRect(57, 6, 249, 24));
}

TEST_F(Form1Test, VisibleControlsFitTheClientAreaAndParkedOnesLieBelowIt) {
  Form1& form = Start(QString());
  const QRect client = form.ClientArea()->rect();
  for (QWidget* control : std::initializer_list<QWidget*>{
           form.PlayTimeLabel, form.PlaySlider, form.ProgressBar1, form.PlayX, form.StopX,
           form.CueX, form.Cancelx, form.RevX, form.EXITX}) {
    EXPECT_TRUE(client.contains(control->geometry())) << control->metaObject()->className();
  }
  for (QWidget* control : std::initializer_list<QWidget*>{
           form.TestWavPlay, form.Text1, form.DecFilename, form.Label1, form.Label2, form.Image1[0],
           form.Image1[1], form.Image1[2], form.Image1[3]}) {
    EXPECT_GE(control->y(), client.bottom()) << control->metaObject()->className();
  }
  EXPECT_FALSE(Shown(form.TestWavPlay));
  EXPECT_TRUE(Shown(form.Text1));
  EXPECT_EQ(form.Text1->text(), QStringLiteral("OC11k16b.wav"));
}

TEST_F(Form1Test, TimeLabelFitsItsLongestTextInYellowOnGreen) {
  Form1& form = Start(QString());
  form.PlayTimeLabel->setText(QStringLiteral("[88 : 88 : 88 / 88 : 88 : 88]"));
  const QFontMetrics metrics(form.PlayTimeLabel->font());
  EXPECT_LE(metrics.horizontalAdvance(form.PlayTimeLabel->text()),
            form.PlayTimeLabel->contentsRect().width());
  EXPECT_LE(metrics.height(), form.PlayTimeLabel->contentsRect().height());
  const QImage picture = form.PlayTimeLabel->grab().toImage();
  int yellow = 0;
  int green = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QColor pixel = picture.pixelColor(x, y);
      if (pixel == QColor(255, 255, 0)) ++yellow;
      if (pixel == QColor(0, 192, 0)) ++green;
    }
  }
  EXPECT_GT(yellow, 50);
  EXPECT_GT(green, picture.width() * picture.height() / 2);
}

TEST_F(Form1Test, ComControlSetsTheThreeButtonStates) {
  Form1& form = Start(QString());
  auto state = [&] {
    std::vector<bool> s;
    for (QPushButton* b : {form.PlayX, form.CueX, form.RevX, form.StopX, form.Cancelx}) {
      s.push_back(b->isEnabled());
      s.push_back(Shown(b));
    }
    return s;
  };
  form.ComControl(READY);
  EXPECT_EQ(state(), (std::vector<bool>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
  form.ComControl(CONVERTING);
  EXPECT_EQ(state(), (std::vector<bool>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
  form.ComControl(NO_FILE);
  EXPECT_EQ(state(), (std::vector<bool>{0, 1, 0, 1, 0, 1, 0, 1, 0, 0}));
  // Any nonzero flag clears the property.
  form.ComControl({7, 255, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(form.PlayX->isEnabled());
  EXPECT_FALSE(Shown(form.PlayX));
  EXPECT_TRUE(Shown(form.Cancelx));
}

TEST_F(Form1Test, TimeDisplayClampsANegativePageToZero) {
  Form1& form = Start(QString());
  form.TotalTimeText = QStringLiteral("00 : 05 : 12");
  form.TimeMs = 1234;
  int32_t page = -5;
  form.TimeDisplay(page);
  EXPECT_EQ(page, 0);
  EXPECT_EQ(form.TimeMs, 0);
  EXPECT_EQ(form.NowTimeText, QStringLiteral("00 : 00 : 00"));
  EXPECT_EQ(form.PlayTimeLabel->text(), QStringLiteral("[00 : 00 : 00 / 00 : 05 : 12]"));
}

TEST_F(Form1Test, TimeDisplayAddsThePagesUpToTheOneShown) {
  Form1& form = Start(QString());
  binding::SetLibraryDirectory(CALENDO_LIB_DIR);
  form.Splp.page_ms[0] = 1000;
  form.Splp.page_ms[1] = 60000;
  form.SplpTable = {0, 1, 1};
  form.TotalTimeText = QStringLiteral("01 : 00 : 00");
  int32_t page = 2;
  form.TimeDisplay(page);
  EXPECT_EQ(page, 2);
  EXPECT_EQ(form.TimeMs, 121000);
  EXPECT_EQ(form.PlayTimeLabel->text(), QStringLiteral("[00 : 02 : 01 / 01 : 00 : 00]"));
  int32_t beyond = static_cast<int32_t>(form.SplpTable.size());
  try {
    form.TimeDisplay(beyond);
    FAIL() << "a page past the table was timed";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), kErrSubscriptOutOfRange);
  }
}

TEST_F(Form1Test, WaitLetsEventsRunUntilTheTimeHasPassed) {
  Form1& form = Start(QString());
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  const auto start = std::chrono::steady_clock::now();
  form.Wait(0.1f);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_GE(ticks, 1);
  form.Wait(0.0f);
  form.Wait(-1.0f);
}

}  // namespace
}  // namespace calendo
