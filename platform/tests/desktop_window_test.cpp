#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "desktop_test_support.h"
#include "platform/desktop.h"

namespace {

using desktop_test::ScratchDesktop;
using platform::DesktopDelivery;
using namespace std::chrono_literals;

TEST(Desktop_Directory, IsCreatedPrivateEvenUnderAPermissiveUmask) {
  ScratchDesktop scratch;
  const std::string inner = scratch.path() + "/inner";
  ::setenv("CALENDO_DESKTOP_DIR", inner.c_str(), 1);
  const mode_t old = ::umask(0);
  const std::string dir = platform::desktop_directory().value_or({});
  ::umask(0077);
  const std::string again = platform::desktop_directory().value_or({});
  ::umask(old);
  ASSERT_EQ(dir, inner);
  EXPECT_EQ(again, inner);
  struct stat info {};
  ASSERT_EQ(::stat(inner.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Desktop_Directory, LooseModeSymlinkOrForeignOwnerIsRefused) {
  ScratchDesktop scratch;
  const std::string loose = scratch.path() + "/loose";
  ASSERT_EQ(::mkdir(loose.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(loose.c_str(), 0755), 0);
  ::setenv("CALENDO_DESKTOP_DIR", loose.c_str(), 1);
  {
    const auto refused = platform::desktop_directory();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.fault().message.find("0700"), std::string::npos) << refused.fault().message;
  }
  EXPECT_EQ(platform::desktop_create_window("Calendo"), 0u);
  EXPECT_EQ(platform::desktop_take_instance_lock("calendo"), platform::InstanceLock::unavailable);

  const std::string link = scratch.path() + "/link";
  const std::string target = scratch.path() + "/target";
  ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ::setenv("CALENDO_DESKTOP_DIR", link.c_str(), 1);
  {
    const auto refused = platform::desktop_directory();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.fault().message.find("symbolic link"), std::string::npos)
        << refused.fault().message;
  }

  if (::geteuid() == 0) {
    const std::string foreign = scratch.path() + "/foreign";
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    ::setenv("CALENDO_DESKTOP_DIR", foreign.c_str(), 1);
    const auto refused = platform::desktop_directory();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.fault().message.find("another user"), std::string::npos)
        << refused.fault().message;
  }
}

TEST(Desktop_Directory, DefaultsToTheRuntimeDirectory) {
  ScratchDesktop scratch;
  ::unsetenv("CALENDO_DESKTOP_DIR");
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
  EXPECT_EQ(platform::desktop_directory().value_or({}), scratch.path() + "/calendo");
  if (old != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(Desktop_Window, NewWindowsGoOnTopAndActivationReorders) {
  ScratchDesktop scratch;
  const auto a = platform::desktop_create_window("first");
  const auto b = platform::desktop_create_window("second");
  const auto c = platform::desktop_create_window("third");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  ASSERT_NE(c, 0u);
  EXPECT_EQ(platform::desktop_windows(), (std::vector{c, b, a}));
  EXPECT_EQ(platform::desktop_top_window(), c);
  EXPECT_EQ(platform::desktop_next_window(c), b);
  EXPECT_EQ(platform::desktop_next_window(b), a);
  EXPECT_EQ(platform::desktop_next_window(a), 0u);
  EXPECT_EQ(platform::desktop_next_window(0), 0u);

  ASSERT_TRUE(platform::desktop_activate(a));
  EXPECT_EQ(platform::desktop_windows(), (std::vector{a, c, b}));

  ASSERT_TRUE(platform::desktop_destroy_window(c));
  EXPECT_EQ(platform::desktop_windows(), (std::vector{a, b}));
  EXPECT_FALSE(scratch.has(desktop_test::handle_name(c) + ".window"));
  EXPECT_FALSE(scratch.has(desktop_test::handle_name(c) + ".sock"));
  EXPECT_FALSE(platform::desktop_destroy_window(c));
  platform::desktop_destroy_window(a);
  platform::desktop_destroy_window(b);
  EXPECT_EQ(platform::desktop_top_window(), 0u);
}

TEST(Desktop_Window, TitleIsReadAsLastSet) {
  ScratchDesktop scratch;
  const auto window = platform::desktop_create_window("Calendo");
  ASSERT_NE(window, 0u);
  EXPECT_EQ(platform::desktop_title(window), "Calendo");
  const std::string loaded = "Calendo - /home/u/録音 0001.vqr";
  ASSERT_TRUE(platform::desktop_set_title(window, loaded));
  EXPECT_EQ(platform::desktop_title(window), loaded);
  EXPECT_EQ(platform::desktop_title_length(window), static_cast<int32_t>(loaded.size()));

  char buffer[8];
  EXPECT_EQ(platform::desktop_title_text(window, buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "Calendo");
  EXPECT_EQ(platform::desktop_title_text(window, buffer, 1), 0);
  EXPECT_STREQ(buffer, "");

  ASSERT_TRUE(platform::desktop_set_title(window, std::string_view("cut\0here", 8)));
  EXPECT_EQ(platform::desktop_title(window), "cut");
  EXPECT_FALSE(platform::desktop_set_title(window, std::string(65536, 'x')));
  EXPECT_TRUE(platform::desktop_set_title(window, std::string(65535, 'x')));
  EXPECT_EQ(platform::desktop_title_length(window), 65535);

  platform::desktop_destroy_window(window);
  EXPECT_EQ(platform::desktop_title(window), std::nullopt);
  EXPECT_EQ(platform::desktop_title_length(window), 0);
}

TEST(Desktop_Window, OnlyTheOwnerThreadChangesOrProcessesIt) {
  ScratchDesktop scratch;
  const auto window = platform::desktop_create_window("Calendo");
  ASSERT_NE(window, 0u);
  std::thread other([&] {
    EXPECT_FALSE(platform::desktop_set_title(window, "stolen"));
    EXPECT_EQ(platform::desktop_process_pending(window), -1);
    EXPECT_EQ(platform::desktop_event_fd(window), -1);
    EXPECT_FALSE(platform::desktop_destroy_window(window));
    EXPECT_EQ(platform::desktop_title(window), "Calendo");  // queries work anywhere
  });
  other.join();
  EXPECT_GE(platform::desktop_event_fd(window), 0);
  platform::desktop_destroy_window(window);
}

TEST(Desktop_Window, SendToOwnThreadRunsTheHandlerDirectly) {
  ScratchDesktop scratch;
  const auto window = platform::desktop_create_window("Calendo");
  EXPECT_EQ(platform::desktop_send_copy_data(window, 1, "x"), DesktopDelivery::no_handler);
  std::string received;
  uint32_t first = 0;
  platform::desktop_add_copy_data_handler(window, [&](const platform::DesktopCopyData& message) {
    received = message.text;
    first = message.first;
  });
  EXPECT_EQ(platform::desktop_send_copy_data(window, 9, std::string_view("a.vqr\0junk", 10)),
            DesktopDelivery::handled);
  EXPECT_EQ(received, "a.vqr");
  EXPECT_EQ(first, 9u);
  platform::desktop_destroy_window(window);
  EXPECT_EQ(platform::desktop_send_copy_data(window, 1, "x"), DesktopDelivery::no_window);
}

// A window served by its own thread, as the player's window is by the GUI thread.
class ServedWindow {
 public:
  explicit ServedWindow(std::function<void(platform::DesktopWindow, std::string_view)> handler)
      : thread_([this, handler = std::move(handler)] {
          window_ = platform::desktop_create_window("Calendo");
          platform::desktop_add_copy_data_handler(
              window_, [&](const platform::DesktopCopyData& m) { handler(window_, m.text); });
          ready_ = true;
          while (!stop_) platform::desktop_wait_and_process(window_, 20ms);
          platform::desktop_destroy_window(window_);
        }) {
    while (!ready_) std::this_thread::sleep_for(1ms);
  }
  ~ServedWindow() {
    stop_ = true;
    thread_.join();
  }
  platform::DesktopWindow window() const { return window_; }
  std::thread::id thread_id() const { return thread_.get_id(); }

 private:
  std::atomic<bool> ready_{false};
  std::atomic<bool> stop_{false};
  platform::DesktopWindow window_ = 0;
  std::thread thread_;
};

TEST(Desktop_Window, HandlerRunsOnTheOwnerThreadBeforeTheSenderReturns) {
  ScratchDesktop scratch;
  std::atomic<bool> ran{false};
  std::thread::id ran_on;
  std::string text;
  ServedWindow served([&](platform::DesktopWindow, std::string_view received) {
    std::this_thread::sleep_for(100ms);
    ran_on = std::this_thread::get_id();
    text = received;
    ran = true;
  });
  const std::string big(platform::kDesktopMaxCopyDataText, 'p');
  EXPECT_EQ(platform::desktop_send_copy_data(served.window(), 3, big), DesktopDelivery::handled);
  EXPECT_TRUE(ran);
  EXPECT_EQ(ran_on, served.thread_id());
  EXPECT_EQ(text, big);
  EXPECT_EQ(platform::desktop_send_copy_data(served.window(), 3, big + "p"),
            DesktopDelivery::refused);
}

TEST(Desktop_Window, HandlerMayProcessNestedRequests) {
  // The player's handler waits while letting events run, which processes the
  // window again: a second request arriving then is handled inside the first.
  ScratchDesktop scratch;
  std::vector<std::string> order;
  std::atomic<bool> second_sent{false};
  std::thread second_sender;
  ServedWindow served([&](platform::DesktopWindow window, std::string_view text) {
    order.push_back("begin " + std::string(text));
    if (text == "outer") {
      second_sender = std::thread([&] {
        EXPECT_EQ(platform::desktop_send_copy_data(window, 0, "inner"), DesktopDelivery::handled);
        second_sent = true;
      });
      while (!second_sent) platform::desktop_wait_and_process(window, 10ms);
    }
    order.push_back("end " + std::string(text));
  });
  EXPECT_EQ(platform::desktop_send_copy_data(served.window(), 0, "outer"),
            DesktopDelivery::handled);
  second_sender.join();
  EXPECT_EQ(order,
            (std::vector<std::string>{"begin outer", "begin inner", "end inner", "end outer"}));
}

TEST(Desktop_Window, RemovedHandlerIsNotCalledEvenFromTheCurrentDelivery) {
  ScratchDesktop scratch;
  const auto window = platform::desktop_create_window("Calendo");
  int second_calls = 0;
  uint32_t second = 0;
  platform::desktop_add_copy_data_handler(window, [&](const platform::DesktopCopyData&) {
    platform::desktop_remove_copy_data_handler(window, second);
  });
  second = platform::desktop_add_copy_data_handler(
      window, [&](const platform::DesktopCopyData&) { ++second_calls; });
  EXPECT_EQ(platform::desktop_send_copy_data(window, 0, "x"), DesktopDelivery::handled);
  EXPECT_EQ(second_calls, 0);
  EXPECT_FALSE(platform::desktop_remove_copy_data_handler(window, second));
  platform::desktop_destroy_window(window);
}

TEST(Desktop_Window, HandlerDestroyingItsWindowAnswersTheSender) {
  ScratchDesktop scratch;
  std::atomic<platform::DesktopWindow> window{0};
  std::atomic<bool> done{false};
  std::thread owner([&] {
    window = platform::desktop_create_window("Calendo");
    platform::desktop_add_copy_data_handler(window, [&](const platform::DesktopCopyData&) {
      platform::desktop_destroy_window(window);
      done = true;
    });
    while (!done) platform::desktop_wait_and_process(window, 10ms);
  });
  while (window == 0) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(platform::desktop_send_copy_data(window, 0, "x"), DesktopDelivery::handled);
  owner.join();
  EXPECT_EQ(platform::desktop_send_copy_data(window, 0, "x"), DesktopDelivery::no_window);
}

}  // namespace
