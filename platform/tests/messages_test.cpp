#include "platform/messages.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using platform::Message;
using platform::WindowHandle;

constexpr std::uint32_t kTestMessage = platform::kUserMessage + 1;

bool fd_readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

// A thread that owns one window and runs a message loop until quit.
class LoopThread {
 public:
  explicit LoopThread(platform::WindowHandler handler) {
    std::promise<WindowHandle> made;
    auto window = made.get_future();
    thread_ = std::thread([&made, handler = std::move(handler)]() mutable {
      made.set_value(platform::create_window("loop", std::move(handler)));
      Message message;
      while (platform::get_message(message)) platform::dispatch_message(message);
    });
    window_ = window.get();
    thread_id_ = platform::window_thread(window_);
  }
  ~LoopThread() { stop(); }
  void stop() {
    if (!thread_.joinable()) return;
    platform::send_message(window_, platform::kUserMessage, 0, 0);  // handler posts quit
    thread_.join();
  }
  WindowHandle window() const { return window_; }
  platform::ThreadId thread_id() const { return thread_id_; }

 private:
  std::thread thread_;
  WindowHandle window_ = platform::kNoWindow;
  platform::ThreadId thread_id_ = platform::kNoThread;
};

// Handler that quits its loop on kUserMessage and forwards the rest.
platform::WindowHandler quitting(
    std::function<std::intptr_t(std::uint32_t, std::uintptr_t, std::intptr_t)> rest) {
  return [rest = std::move(rest)](WindowHandle, std::uint32_t message, std::uintptr_t wparam,
                                  std::intptr_t lparam) -> std::intptr_t {
    if (message == platform::kUserMessage) {
      platform::post_quit_message(0);
      return 0;
    }
    return rest(message, wparam, lparam);
  };
}

TEST(Messages_Post, ConcurrentPostersKeepEachSendersOrder) {
  constexpr int kPosters = 4;
  constexpr int kPerPoster = 20000;
  std::vector<int> last_seen(kPosters, -1);
  std::atomic<int> out_of_order{0};
  std::atomic<int> received{0};
  LoopThread loop(quitting([&](std::uint32_t, std::uintptr_t poster, std::intptr_t sequence) {
    if (sequence != last_seen[poster] + 1) ++out_of_order;
    last_seen[poster] = static_cast<int>(sequence);
    ++received;
    return std::intptr_t{0};
  }));
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (int i = 0; i < kPerPoster; ++i) {
        ASSERT_TRUE(
            platform::post_message(loop.window(), kTestMessage, static_cast<std::uintptr_t>(p), i));
      }
    });
  }
  for (auto& poster : posters) poster.join();
  loop.stop();  // the quit request queues behind every posted message
  EXPECT_EQ(received.load(), kPosters * kPerPoster);
  EXPECT_EQ(out_of_order.load(), 0);
}

TEST(Messages_Post, ThreadMessagesReachGetButNoHandler) {
  std::promise<platform::ThreadId> started;
  auto id = started.get_future();
  std::promise<std::vector<std::intptr_t>> seen;
  auto values = seen.get_future();
  std::thread worker([&] {
    started.set_value(platform::current_thread_id());
    std::vector<std::intptr_t> got;
    Message message;
    while (platform::get_message(message)) {
      EXPECT_EQ(message.window, platform::kNoWindow);
      EXPECT_EQ(platform::dispatch_message(message), 0);
      got.push_back(message.lparam);
    }
    EXPECT_EQ(message.wparam, 7u);  // exit code of the quit message
    seen.set_value(got);
  });
  const platform::ThreadId thread = id.get();
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(platform::post_thread_message(thread, kTestMessage, 0, i));
  ASSERT_TRUE(platform::post_thread_message(thread, platform::kQuitMessage, 7, 0));
  EXPECT_EQ(values.get(), (std::vector<std::intptr_t>{0, 1, 2}));
  worker.join();
  EXPECT_FALSE(platform::post_thread_message(thread, kTestMessage, 0, 0));
}

TEST(Messages_Send, RunsDirectlyOnOwnThreadAndBlocksAcrossThreads) {
  std::thread::id ran_on;
  const WindowHandle local = platform::create_window(
      "local", [&](WindowHandle, std::uint32_t, std::uintptr_t wparam, std::intptr_t) {
        ran_on = std::this_thread::get_id();
        return static_cast<std::intptr_t>(wparam * 2);
      });
  EXPECT_EQ(platform::send_message(local, kTestMessage, 21, 0), 42);
  EXPECT_EQ(ran_on, std::this_thread::get_id());

  std::atomic<bool> handled{false};
  LoopThread loop(quitting([&](std::uint32_t, std::uintptr_t wparam, std::intptr_t) {
    std::this_thread::sleep_for(20ms);
    handled = true;
    return static_cast<std::intptr_t>(wparam + 1);
  }));
  EXPECT_EQ(platform::send_message(loop.window(), kTestMessage, 9, 0), 10);
  EXPECT_TRUE(handled.load());  // the send returned only after the handler ran
  EXPECT_TRUE(platform::destroy_window(local));
}

TEST(Messages_Send, NestedSendsBetweenTwoThreadsDoNotDeadlock) {
  const WindowHandle caller = platform::create_window(
      "caller", [](WindowHandle, std::uint32_t, std::uintptr_t wparam, std::intptr_t) {
        return static_cast<std::intptr_t>(wparam + 100);
      });
  LoopThread loop(quitting([caller](std::uint32_t, std::uintptr_t wparam, std::intptr_t) {
    // Calls back into the sender's window while the sender waits for us.
    return platform::send_message(caller, kTestMessage, wparam, 0).value_or(-1) + 1;
  }));
  EXPECT_EQ(platform::send_message(loop.window(), kTestMessage, 5, 0), 106);
  EXPECT_TRUE(platform::destroy_window(caller));
}

TEST(Messages_Send, FailsWhenTheOwnerEndsWithoutHandling) {
  std::promise<WindowHandle> made;
  auto window = made.get_future();
  std::promise<void> release;
  std::thread owner([&] {
    made.set_value(
        platform::create_window("silent", [](WindowHandle, std::uint32_t, std::uintptr_t,
                                             std::intptr_t) { return std::intptr_t{1}; }));
    release.get_future().wait();  // ends without ever taking a message
  });
  const WindowHandle target = window.get();
  auto sent = std::async(std::launch::async,
                         [target] { return platform::send_message(target, kTestMessage, 0, 0); });
  std::this_thread::sleep_for(20ms);
  release.set_value();
  owner.join();
  EXPECT_EQ(sent.get(), std::nullopt);
  EXPECT_FALSE(platform::is_window(target));
}

TEST(Messages_Window, DestroyedOrEndedWindowsRefuseMessages) {
  int calls = 0;
  const WindowHandle window =
      platform::create_window("DllWnd", [&](WindowHandle, std::uint32_t, std::uintptr_t,
                                            std::intptr_t) { return std::intptr_t{++calls}; });
  EXPECT_EQ(platform::window_name(window), "DllWnd");
  EXPECT_EQ(platform::window_thread(window), platform::current_thread_id());
  ASSERT_TRUE(platform::post_message(window, kTestMessage, 0, 0));
  Message queued;
  ASSERT_TRUE(platform::peek_message(queued));

  // Only the owner thread may destroy a window.
  std::thread other([window] { EXPECT_FALSE(platform::destroy_window(window)); });
  other.join();
  ASSERT_TRUE(platform::destroy_window(window));

  EXPECT_EQ(platform::dispatch_message(queued), 0);  // dropped, handler not run
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(platform::post_message(window, kTestMessage, 0, 0));
  EXPECT_EQ(platform::send_message(window, kTestMessage, 0, 0), std::nullopt);
  EXPECT_FALSE(platform::destroy_window(window));
  EXPECT_EQ(platform::window_name(window), "");

  // A thread's windows end with it.
  WindowHandle orphan = platform::kNoWindow;
  std::thread owner([&] {
    orphan = platform::create_window("orphan", [](WindowHandle, std::uint32_t, std::uintptr_t,
                                                  std::intptr_t) { return std::intptr_t{0}; });
  });
  owner.join();
  EXPECT_FALSE(platform::is_window(orphan));
  EXPECT_FALSE(platform::post_message(orphan, kTestMessage, 0, 0));
}

TEST(Messages_Window, DispatchRunsOnlyTheCallingThreadsWindows) {
  std::atomic<int> calls{0};
  LoopThread loop(quitting([&](std::uint32_t, std::uintptr_t, std::intptr_t) {
    ++calls;
    return std::intptr_t{0};
  }));
  EXPECT_EQ(platform::dispatch_message(Message{loop.window(), kTestMessage, 0, 0}), 0);
  loop.stop();
  EXPECT_EQ(calls.load(), 0);
}

TEST(Messages_Queue, PeekWithoutRemoveAndWaitTimeout) {
  EXPECT_FALSE(platform::wait_message(5ms));
  const WindowHandle window = platform::create_window(
      "w",
      [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
  ASSERT_TRUE(platform::post_message(window, kTestMessage, 1, 2));
  Message message;
  ASSERT_TRUE(platform::peek_message(message, false));
  EXPECT_EQ(platform::pending_message_count(), 1u);
  EXPECT_TRUE(platform::wait_message(0ms));
  ASSERT_TRUE(platform::peek_message(message));
  EXPECT_EQ(message.window, window);
  EXPECT_EQ(message.wparam, 1u);
  EXPECT_EQ(message.lparam, 2);
  EXPECT_FALSE(platform::peek_message(message));
  EXPECT_TRUE(platform::destroy_window(window));
}

TEST(Messages_WakeupFd, ReadableExactlyWhileMessagesWait) {
  const int fd = platform::wakeup_fd();
  ASSERT_GE(fd, 0);
  EXPECT_EQ(platform::wakeup_fd(), fd);
  EXPECT_FALSE(fd_readable(fd));
  const WindowHandle window = platform::create_window(
      "w",
      [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
  ASSERT_TRUE(platform::post_message(window, kTestMessage, 0, 0));
  ASSERT_TRUE(platform::post_message(window, kTestMessage, 0, 0));
  EXPECT_TRUE(fd_readable(fd));
  Message message;
  ASSERT_TRUE(platform::peek_message(message));
  EXPECT_TRUE(fd_readable(fd));  // one still waits
  ASSERT_TRUE(platform::peek_message(message));
  EXPECT_FALSE(fd_readable(fd));
  EXPECT_TRUE(platform::destroy_window(window));
}

// An event loop that sleeps in poll() on the descriptor and then runs
// peek/dispatch gets both posted and sent messages from other threads.
TEST(Messages_WakeupFd, PollingLoopReceivesPostedAndSentMessages) {
  constexpr int kMessages = 5000;
  std::promise<WindowHandle> made;
  auto window_future = made.get_future();
  std::atomic<int> posted_seen{0};
  std::thread gui([&] {
    bool done = false;
    const WindowHandle window = platform::create_window(
        "gui", [&](WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t) {
          if (message == platform::kUserMessage) {
            done = true;
            return std::intptr_t{77};
          }
          ++posted_seen;
          return std::intptr_t{0};
        });
    const int fd = platform::wakeup_fd();
    made.set_value(window);
    while (!done) {
      pollfd entry{fd, POLLIN, 0};
      ASSERT_EQ(::poll(&entry, 1, 5000), 1) << "wake-up descriptor never became readable";
      Message message;
      while (platform::peek_message(message)) platform::dispatch_message(message);
    }
  });
  const WindowHandle window = window_future.get();
  std::thread poster([&] {
    for (int i = 0; i < kMessages; ++i) {
      ASSERT_TRUE(platform::post_message(window, kTestMessage, 0, i));
      if (i % 500 == 0) std::this_thread::sleep_for(1ms);
    }
  });
  poster.join();
  EXPECT_EQ(platform::send_message(window, platform::kUserMessage, 0, 0), 77);
  gui.join();
  EXPECT_EQ(posted_seen.load(), kMessages);
}

}  // namespace
