// A running player (a window in this test process) and a second start of the
// real calendo program that hands it its command line.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "handoff_processes.h"
#include "scripted_host.h"
#include "test_app.h"
#include "window/form1.h"

namespace calendo {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedHost;

// Every window of this test program, and every player it starts, lives on a
// desktop of its own.
const bool kScratchDesktop = !testing::ScratchDesktopDirectory().empty();

class HandoffReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kScratchDesktop);
    setenv("CALENDO_AUDIO", "null", 1);
    binding::SetLibraryDirectory(CALENDO_LIB_DIR);
    form_ = std::make_unique<Form1>(host_, pump_, "E");
    form_->Form_Load();
    form_->show();
    pump_.ProcessEvents();
    ASSERT_NE(form_->DesktopHandle(), 0u);
  }
  void TearDown() override {
    if (form_) {
      imports::WavStop();
      imports::WavDestroy();
    }
    form_.reset();
    binding::SetLibraryDirectory({});
    unsetenv("CALENDO_AUDIO");
  }

  // Starts calendo with `arguments` and serves this window until it ends.
  std::optional<int> SecondStart(const std::vector<std::string>& arguments) {
    const pid_t pid = testing::StartPlayer(CALENDO_PROGRAM, arguments);
    if (pid == 0) return std::nullopt;
    return testing::WaitForPlayer(pid, 20s, [this] { pump_.ProcessEventsOrWait(10ms); });
  }

  // A stream on the wave output, as a playback leaves it.
  void StartStream() {
    imports::WavCreate();
    void* block = nullptr;
    uint8_t header[100] = {};
    imports::SoundSet11k16bit(&block, 11, header);
    imports::WavAddPlayData(&block, 10000);
    ASSERT_TRUE(testing::ServeUntil([] { return imports::WavNowPlay() >= 0; }, 5s,
                                    [this] { pump_.ProcessEventsOrWait(10ms); }));
  }

  // The window as it stands with a file loaded.
  void LookLoaded() {
    form_->ComControl(READY);
    form_->M_transwav->menuAction()->setEnabled(true);
    form_->setWindowTitle(QStringLiteral("Calendo - first.vqr"));
    form_->PlayTimeLabel->setText(QStringLiteral("[00 : 00 : 01 / 00 : 05 : 12]"));
    form_->PlaySlider->setRange(0, 99);
    form_->PlaySlider->setEnabled(true);
    form_->PlaySlider->setValue(40);
  }

  QApplication& app_ = testing::TestApplication();
  ScriptedHost host_;
  EventPump pump_;
  std::unique_ptr<Form1> form_;
};

TEST_F(HandoffReceiverTest, RecorderPathStopsPlaybackAndSchedulesTheOpen) {
  StartStream();
  const std::string path = "/nowhere/second file.vqr";
  EXPECT_EQ(SecondStart({path}), 0);

  EXPECT_EQ(imports::WavNowPlay(), -2) << "the playback was not stopped";
  EXPECT_EQ(form_->PlayFileName, QString::fromStdString(path));
  EXPECT_EQ(form_->OpenPending, kTrue);
  EXPECT_TRUE(form_->Timer1->isActive());
  EXPECT_EQ(form_->Timer1->interval(), 100);
  // The sender brought this window to the front and left nothing behind.
  EXPECT_EQ(platform::desktop_windows(),
            std::vector<platform::DesktopWindow>{form_->DesktopHandle()});
  EXPECT_TRUE(host_.boxes.empty());
}

// A player started with a file of its own gets another before its timer
// opened the first: only the handed file is opened, and the handler returns
// without waiting on the first file (a box or a whole playback).
TEST_F(HandoffReceiverTest, HandedFileReplacesAnOpenStillWaitingForTheTimer) {
  form_->PlayFileName = QStringLiteral("/nowhere/own file.vqr");
  form_->OpenPending = kTrue;
  form_->Timer1->start();
  std::this_thread::sleep_for(150ms);  // the tick is due, not yet delivered

  form_->MsgCtl_OnCopyData(0, QStringLiteral("/nowhere/handed.vqr"));
  EXPECT_TRUE(host_.boxes.empty()) << "the replaced file was opened";
  EXPECT_EQ(form_->PlayFileName, QStringLiteral("/nowhere/handed.vqr"));
  EXPECT_EQ(form_->OpenPending, kTrue);
  EXPECT_TRUE(form_->Timer1->isActive());
}

TEST_F(HandoffReceiverTest, EveryRecorderEndingIsTakenAndOthersOnlyStop) {
  for (const char* path : {"a.vqr", "b.VQR", "c.vqm", "d.VQM"}) {
    form_->OpenPending = kFalse;
    form_->Timer1->stop();
    EXPECT_EQ(SecondStart({path}), 0) << path;
    EXPECT_EQ(form_->OpenPending, kTrue) << path;
    EXPECT_TRUE(form_->Timer1->isActive()) << path;
  }

  form_->OpenPending = kFalse;
  form_->Timer1->stop();
  LookLoaded();
  for (const char* path : {"notes.txt", "e.Vqr", "\"f.vqr\""}) {
    StartStream();
    EXPECT_EQ(SecondStart({path}), 0) << path;
    EXPECT_EQ(imports::WavNowPlay(), -2) << path;
    EXPECT_EQ(form_->PlayFileName, QString::fromUtf8(path));
    EXPECT_EQ(form_->OpenPending, kFalse) << path;
    EXPECT_FALSE(form_->Timer1->isActive()) << path;
    // The previous file stays shown.
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("Calendo - first.vqr"));
    EXPECT_TRUE(form_->PlayX->isEnabled());
  }
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(HandoffReceiverTest, StartWithoutArgumentsReturnsToTheIdleLook) {
  LookLoaded();
  StartStream();
  EXPECT_EQ(SecondStart({}), 0);

  EXPECT_EQ(imports::WavNowPlay(), -2);
  EXPECT_EQ(form_->PlayFileName, QString());
  EXPECT_EQ(form_->OpenFailed, kTrue);
  EXPECT_EQ(form_->OpenPending, kFalse);
  EXPECT_FALSE(form_->Timer1->isActive());
  EXPECT_EQ(form_->windowTitle(), QStringLiteral("Calendo"));
  EXPECT_EQ(form_->PlayTimeLabel->text(), QString());
  for (QPushButton* button : {form_->PlayX, form_->CueX, form_->RevX, form_->StopX}) {
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(button->isHidden());
  }
  EXPECT_FALSE(form_->Cancelx->isEnabled());
  EXPECT_TRUE(form_->Cancelx->isHidden());
  EXPECT_FALSE(form_->M_transwav->menuAction()->isEnabled());
  EXPECT_FALSE(form_->PlaySlider->isEnabled());
  EXPECT_EQ(form_->PlaySlider->value(), 0);
  // Other programs read the new title too.
  EXPECT_EQ(platform::desktop_title(form_->DesktopHandle()), std::string("Calendo"));
}

TEST_F(HandoffReceiverTest, MinimizedWindowIsRestored) {
  form_->showMinimized();
  pump_.ProcessEvents();
  ASSERT_TRUE(form_->isMinimized());
  EXPECT_EQ(SecondStart({"third.vqr"}), 0);
  EXPECT_FALSE(form_->isMinimized());
}

TEST_F(HandoffReceiverTest, EveryCaptionChangeReachesTheDesktop) {
  const platform::DesktopWindow window = form_->DesktopHandle();
  EXPECT_EQ(platform::desktop_title(window), std::string("Calendo"));
  form_->setWindowTitle(QStringLiteral("Calendo - 会議.vqr"));
  EXPECT_EQ(platform::desktop_title(window), std::string("Calendo - 会議.vqr"));
}

// Windows of other programs on the desktop, served from this thread.
class HandoffOtherWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kScratchDesktop); }
  void TearDown() override {
    for (platform::DesktopWindow window : windows_) platform::desktop_destroy_window(window);
  }

  platform::DesktopWindow Open(const char* title, std::vector<std::string>& received) {
    const platform::DesktopWindow window = platform::desktop_create_window(title);
    platform::desktop_add_copy_data_handler(
        window, [&received](const platform::DesktopCopyData& m) { received.emplace_back(m.text); });
    windows_.push_back(window);
    return window;
  }

  std::optional<int> SecondStart(const std::vector<std::string>& arguments) {
    const pid_t pid = testing::StartPlayer(CALENDO_PROGRAM, arguments);
    if (pid == 0) return std::nullopt;
    return testing::WaitForPlayer(pid, 20s, [this] {
      for (platform::DesktopWindow window : windows_) platform::desktop_process_pending(window);
      std::this_thread::sleep_for(5ms);
    });
  }

  std::vector<platform::DesktopWindow> windows_;
};

TEST_F(HandoffOtherWindowsTest, AnyWindowWhoseTitleBeginsWithCalendoTakesTheHandoff) {
  std::vector<std::string> received;
  Open("Calendo Notes - today", received);
  EXPECT_EQ(SecondStart({"/files/a.vqr"}), 0);
  EXPECT_EQ(received, std::vector<std::string>{"/files/a.vqr"});
}

TEST_F(HandoffOtherWindowsTest, OtherTitlesArePassedByAndTheLockEndsTheStartSilently) {
  std::vector<std::string> lower, inside, empty;
  Open("calendo", lower);
  Open("My Calendo", inside);
  Open("", empty);
  // A running player that is not on the walk (its window above, or none).
  ASSERT_EQ(platform::desktop_take_instance_lock("calendo"), platform::InstanceLock::taken);
  const auto code = SecondStart({"/files/a.vqr"});
  platform::desktop_release_instance_lock("calendo");

  EXPECT_EQ(code, 0);
  EXPECT_TRUE(lower.empty());
  EXPECT_TRUE(inside.empty());
  EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace calendo
