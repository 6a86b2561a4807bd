// Requests to a window: connect to its socket, send the request, shut the
// writing side and wait, up to a deadline, for the one-byte answer that the
// receiver writes after its handlers ran.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "desktop_fd.h"
#include "desktop_owned.h"
#include "desktop_registry.h"
#include "desktop_wire.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

DesktopDelivery from_status(desktop_wire::Status status) {
  switch (status) {
    case desktop_wire::Status::handled:
      return DesktopDelivery::handled;
    case desktop_wire::Status::no_handler:
      return DesktopDelivery::no_handler;
    case desktop_wire::Status::failed:
      break;
  }
  return DesktopDelivery::refused;
}

int milliseconds_left(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > 60000 ? 60000 : static_cast<int>(left) + 1;
}

// Waits for `events` on `fd` until the deadline; false when it passed.
bool wait_for(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const int timeout = milliseconds_left(deadline);
    if (timeout == 0) return false;
    pollfd item{fd, events, 0};
    const int ready = ::poll(&item, 1, timeout);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

DesktopDelivery send_request(DesktopWindow window, const std::vector<uint8_t>& bytes,
                             std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const std::string dir = desktop_registry::directory().value_or({});
  if (dir.empty() || window == 0) return DesktopDelivery::no_window;
  const std::optional<desktop_registry::Entry> entry = desktop_registry::read_entry(dir, window);
  if (!entry || !desktop_registry::owner_alive(*entry)) return DesktopDelivery::no_window;

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return DesktopDelivery::refused;
  const std::string path = desktop_registry::socket_path(dir, window);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  while (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return DesktopDelivery::no_window;
    // The receiver's queue of connections is full: try again shortly.
    if (milliseconds_left(deadline) == 0) return DesktopDelivery::timed_out;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
      peer.uid != ::geteuid()) {
    return DesktopDelivery::refused;
  }

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd.get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent > 0) {
      done += static_cast<std::size_t>(sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_for(fd.get(), POLLOUT, deadline)) return DesktopDelivery::timed_out;
    } else {
      return DesktopDelivery::refused;
    }
  }
  ::shutdown(fd.get(), SHUT_WR);

  for (;;) {
    if (!wait_for(fd.get(), POLLIN, deadline)) return DesktopDelivery::timed_out;
    uint8_t status = 0;
    const ssize_t got = ::recv(fd.get(), &status, 1, 0);
    if (got == 1) return from_status(static_cast<desktop_wire::Status>(status));
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return DesktopDelivery::refused;  // closed without an answer
  }
}

}  // namespace

DesktopDelivery desktop_send_copy_data(DesktopWindow window, uint32_t first, std::string_view text,
                                       std::chrono::milliseconds timeout) {
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  if (text.size() > kDesktopMaxCopyDataText) return DesktopDelivery::refused;
  try {
    // A window of the calling thread cannot answer while this thread waits,
    // so its handlers run here and now.
    if (auto own = desktop_owned::find_for_owner(window)) {
      desktop_wire::Request request;
      request.kind = desktop_wire::Kind::copy_data;
      request.first = first;
      request.text = text;
      return from_status(desktop_owned::dispatch(*own, request));
    }
    return send_request(window, desktop_wire::encode_copy_data(first, text), timeout);
  } catch (const std::bad_alloc&) {
    return DesktopDelivery::refused;
  }
}

DesktopDelivery desktop_bring_to_front(DesktopWindow window, std::chrono::milliseconds timeout) {
  try {
    if (auto own = desktop_owned::find_for_owner(window)) {
      desktop_wire::Request request;
      request.kind = desktop_wire::Kind::bring_to_front;
      return from_status(desktop_owned::dispatch(*own, request));
    }
    return send_request(window, desktop_wire::encode_bring_to_front(), timeout);
  } catch (const std::bad_alloc&) {
    return DesktopDelivery::refused;
  }
}

}  // namespace platform
