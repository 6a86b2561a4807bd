// The desktop between real processes: each peer is a desktop_peer program.
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "../src/desktop_wire.h"
#include "desktop_test_support.h"

namespace {

using desktop_test::copy_line;
using desktop_test::Peer;
using desktop_test::ScratchDesktop;
using platform::DesktopDelivery;
using namespace std::chrono_literals;

// A raw connection to a window's socket, for senders that break the rules.
int connect_raw(const ScratchDesktop& scratch, platform::DesktopWindow window) {
  const std::string path = scratch.path() + "/" + desktop_test::handle_name(window) + ".sock";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends the bytes and reports whether the receiver answered before closing.
bool receiver_answers(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) break;  // the receiver stopped reading and closed
    done += static_cast<std::size_t>(sent);
  }
  ::shutdown(fd, SHUT_WR);
  timeval wait{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  uint8_t status = 0;
  const ssize_t got = ::recv(fd, &status, 1, 0);
  ::close(fd);
  return got == 1;
}

TEST(Desktop_Process, DeliveryReturnsOnlyAfterTheHandlerRan) {
  ScratchDesktop scratch;
  Peer peer({"Calendo", "--handler-delay-ms", "300"});
  ASSERT_NE(peer.window(), 0u);
  EXPECT_EQ(platform::desktop_send_copy_data(peer.window(), 5, "/rec/日本語.vqm"),
            DesktopDelivery::handled);
  // The handler printed its line before it returned; it is already there.
  EXPECT_EQ(peer.read_line(0), copy_line(5, "/rec/日本語.vqm"));
  EXPECT_EQ(platform::desktop_send_copy_data(peer.window(), 0, ""), DesktopDelivery::handled);
  EXPECT_EQ(peer.read_line(0), copy_line(0, ""));
}

TEST(Desktop_Process, WalkFollowsActivationAndTitles) {
  ScratchDesktop scratch;
  Peer a({"Calendo"});
  Peer b({"Calendo - x.vqr"});
  Peer c({"Other"});
  ASSERT_NE(c.window(), 0u);
  const auto own = platform::desktop_create_window("Calendo");
  EXPECT_EQ(platform::desktop_windows(), (std::vector{own, c.window(), b.window(), a.window()}));
  EXPECT_EQ(platform::desktop_next_window(own), c.window());
  EXPECT_EQ(platform::desktop_title(b.window()), "Calendo - x.vqr");

  EXPECT_EQ(a.command("activate"), "ok");
  EXPECT_EQ(b.command("title Calendo - 2.vqm"), "ok");
  EXPECT_EQ(platform::desktop_windows(), (std::vector{a.window(), own, c.window(), b.window()}));
  EXPECT_EQ(platform::desktop_title(b.window()), "Calendo - 2.vqm");
  EXPECT_EQ(platform::desktop_next_window(own), c.window());
  EXPECT_EQ(platform::desktop_next_window(b.window()), 0u);

  EXPECT_EQ(platform::desktop_bring_to_front(c.window()), DesktopDelivery::handled);
  EXPECT_EQ(c.read_line(0), "front");
  EXPECT_EQ(platform::desktop_top_window(), c.window());
  platform::desktop_destroy_window(own);
}

TEST(Desktop_Process, EntryOfAKilledProcessIsSkippedAndRemoved) {
  ScratchDesktop scratch;
  Peer below({"Calendo"});
  Peer killed({"Calendo"});
  ASSERT_NE(killed.window(), 0u);
  const std::string name = desktop_test::handle_name(killed.window());
  killed.kill_now();
  ASSERT_TRUE(scratch.has(name + ".window"));
  const auto own = platform::desktop_create_window("Calendo");
  EXPECT_EQ(platform::desktop_next_window(own), below.window());
  EXPECT_FALSE(scratch.has(name + ".window"));
  EXPECT_FALSE(scratch.has(name + ".sock"));
  EXPECT_EQ(platform::desktop_send_copy_data(killed.window(), 0, "x"), DesktopDelivery::no_window);
  EXPECT_EQ(platform::desktop_title(killed.window()), std::nullopt);
  platform::desktop_destroy_window(own);
}

TEST(Desktop_Process, FakedPayloadsAreRefusedAndTheReceiverGoesOn) {
  ScratchDesktop scratch;
  Peer peer({"Calendo"});
  ASSERT_NE(peer.window(), 0u);

  auto unterminated = platform::desktop_wire::encode_copy_data(1, "abcd");
  unterminated.back() = 'e';
  int fd = connect_raw(scratch, peer.window());
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(receiver_answers(fd, unterminated));

  // A count of 65535 followed by far more bytes than any request holds.
  auto oversized = platform::desktop_wire::encode_copy_data(1, "");
  oversized[6] = 0xFF;
  oversized[7] = 0xFF;
  oversized.resize(200000, 'A');
  fd = connect_raw(scratch, peer.window());
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(receiver_answers(fd, oversized));

  auto short_count = platform::desktop_wire::encode_copy_data(1, "abcd");
  short_count[6] = 2;
  fd = connect_raw(scratch, peer.window());
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(receiver_answers(fd, short_count));

  fd = connect_raw(scratch, peer.window());
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(receiver_answers(fd, {}));

  EXPECT_EQ(platform::desktop_send_copy_data(peer.window(), 2, "good.vqr"),
            DesktopDelivery::handled);
  EXPECT_EQ(peer.read_line(0), copy_line(2, "good.vqr"));  // and nothing before it
}

TEST(Desktop_Process, ASenderThatStallsDoesNotHoldUpOthers) {
  ScratchDesktop scratch;
  Peer peer({"Calendo"});
  const int stalled = connect_raw(scratch, peer.window());
  ASSERT_GE(stalled, 0);
  const auto bytes = platform::desktop_wire::encode_copy_data(1, "never finished");
  ASSERT_EQ(::send(stalled, bytes.data(), 7, MSG_NOSIGNAL), 7);
  EXPECT_EQ(platform::desktop_send_copy_data(peer.window(), 3, "next.vqr"),
            DesktopDelivery::handled);
  EXPECT_EQ(peer.read_line(0), copy_line(3, "next.vqr"));
  ::close(stalled);
}

TEST(Desktop_Process, AHangingReceiverReleasesTheSenderAtTheTimeout) {
  ScratchDesktop scratch;
  Peer peer({"Calendo", "--hang"});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::desktop_send_copy_data(peer.window(), 0, "x", 300ms),
            DesktopDelivery::timed_out);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 3s);  // bounded, with room for a loaded machine
  EXPECT_EQ(peer.read_line(1000), "hanging");
}

TEST(Desktop_Process, APeerOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScratchDesktop scratch;
  Peer peer({"Calendo"});
  ASSERT_NE(peer.window(), 0u);
  const pid_t child = ::fork();
  if (child == 0) {
    // Another user's identity on the socket; the file system still lets the
    // connection reach the private directory.
    if (::setresgid(65534, 65534, 0) != 0 || ::setresuid(0, 65534, 0) != 0) ::_exit(3);
    ::setfsuid(0);
    const int fd = connect_raw(scratch, peer.window());
    if (fd < 0) ::_exit(4);
    ::_exit(receiver_answers(fd, platform::desktop_wire::encode_copy_data(1, "intruder")) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: answered, 3: no identity change, 4: no connection";
  EXPECT_EQ(platform::desktop_send_copy_data(peer.window(), 2, "owner"), DesktopDelivery::handled);
  EXPECT_EQ(peer.read_line(0), copy_line(2, "owner"));
}

TEST(Desktop_Instance, ASecondProcessSeesTheLockHeld) {
  ScratchDesktop scratch;
  EXPECT_FALSE(platform::desktop_instance_held_elsewhere("calendo-test"));
  {
    Peer first({"Calendo"});
    ASSERT_EQ(first.command("lock"), "lock taken");
    EXPECT_TRUE(platform::desktop_instance_held_elsewhere("calendo-test"));
    EXPECT_EQ(platform::desktop_take_instance_lock("calendo-test"),
              platform::InstanceLock::held_elsewhere);
    first.kill_now();
  }
  EXPECT_FALSE(platform::desktop_instance_held_elsewhere("calendo-test"));
  EXPECT_EQ(platform::desktop_take_instance_lock("calendo-test"), platform::InstanceLock::taken);
  EXPECT_EQ(platform::desktop_take_instance_lock("calendo-test"), platform::InstanceLock::taken);
  EXPECT_FALSE(platform::desktop_instance_held_elsewhere("calendo-test"));
  {
    Peer second({"Calendo"});
    EXPECT_EQ(second.command("lock"), "lock held");
    // The child was started while the lock was held; it must not keep it.
    EXPECT_TRUE(platform::desktop_release_instance_lock("calendo-test"));
    EXPECT_FALSE(platform::desktop_instance_held_elsewhere("calendo-test"));
    EXPECT_EQ(second.command("lock"), "lock taken");
  }
  EXPECT_FALSE(platform::desktop_release_instance_lock("calendo-test"));
  EXPECT_EQ(platform::desktop_take_instance_lock("../escape"), platform::InstanceLock::unavailable);
}

}  // namespace
