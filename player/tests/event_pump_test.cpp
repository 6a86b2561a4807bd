// Running Qt's events and the platform messages of the window thread.
#include <atomic>
#include <chrono>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>
#include <QTimer>

#include "platform/messages.h"
#include "qt/event_pump.h"
#include "test_app.h"

namespace calendo {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class EventPumpTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApplication(); }
};

TEST_F(EventPumpTest, DispatchesPlatformMessagesPostedFromAnotherThread) {
  EventPump pump;
  std::atomic<int> handled{0};
  const platform::WindowHandle window = platform::create_window(
      "test", [&](platform::WindowHandle, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == platform::kUserMessage + 1) ++handled;
        return 0;
      });
  ASSERT_NE(window, platform::kNoWindow);
  std::thread poster([window] {
    std::this_thread::sleep_for(milliseconds(20));
    platform::post_message(window, platform::kUserMessage + 1, 0, 0);
  });
  // The message wakes the waiting pump; the deadline only guards a hang.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (handled == 0 && Clock::now() < deadline) pump.ProcessEventsOrWait(milliseconds(500));
  poster.join();
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(platform::pending_message_count(), 0u);
  platform::destroy_window(window);
}

TEST_F(EventPumpTest, ProcessEventsRunsWhatIsPendingOfBothKinds) {
  EventPump pump;
  int timers = 0;
  int messages = 0;
  const platform::WindowHandle window = platform::create_window(
      "test", [&](platform::WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t {
        ++messages;
        return 0;
      });
  QTimer::singleShot(0, [&] { ++timers; });
  platform::post_message(window, platform::kUserMessage, 0, 0);
  platform::post_message(window, platform::kUserMessage, 0, 0);
  pump.ProcessEvents();
  EXPECT_EQ(timers, 1);
  EXPECT_EQ(messages, 2);
  platform::destroy_window(window);
}

TEST_F(EventPumpTest, WaitsForTheNextEventWhenNothingIsPending) {
  EventPump pump;
  pump.ProcessEvents();
  const auto start = Clock::now();
  pump.ProcessEventsOrWait(milliseconds(30));
  // A precise timer bounds the wait: it never returns early with nothing to do.
  EXPECT_GE(Clock::now() - start, milliseconds(25));
}

TEST_F(EventPumpTest, WatchedDescriptorRunsItsCallback) {
  EventPump pump;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  int ready = 0;
  pump.Watch(fds[0], [&] {
    char byte;
    if (read(fds[0], &byte, 1) == 1) ++ready;
  });
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (ready == 0 && Clock::now() < deadline) pump.ProcessEventsOrWait(milliseconds(100));
  EXPECT_EQ(ready, 1);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace calendo
