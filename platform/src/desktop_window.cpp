// Windows of this process: registration, the receiving socket and the
// processing of requests on the owner's thread.
//
// The event descriptor is an epoll set holding the listening socket, the
// connections being read and a timer for their deadlines. Connections are
// read without blocking and a request is carried out only once its sender has
// shut its side, so a slow or broken sender never holds up the owner thread.
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>
#include <utility>

#include "desktop_fd.h"
#include "desktop_owned.h"
#include "desktop_registry.h"

namespace platform {
namespace desktop_owned {

using Clock = std::chrono::steady_clock;

// How long a sender may take to deliver its request once connected.
constexpr auto kConnectionDeadline = std::chrono::seconds(5);
// Connections read at the same time; more are refused until some finish.
constexpr std::size_t kMaxConnections = 32;

struct Connection {
  UniqueFd fd;
  std::vector<uint8_t> bytes;
  Clock::time_point deadline;
};

// A complete request taken out of the epoll set, waiting for its handlers.
struct ReadyRequest {
  UniqueFd fd;
  std::vector<uint8_t> bytes;
};

struct OwnedWindow {
  DesktopWindow handle = 0;
  std::thread::id owner;
  std::string dir;
  UniqueFd listen_fd;
  UniqueFd epoll_fd;
  UniqueFd timer_fd;
  desktop_registry::Entry entry;
  std::map<int, Connection> connections;
  std::vector<std::pair<uint32_t, DesktopCopyDataHandler>> copy_handlers;
  uint32_t next_handler_id = 1;
  DesktopFrontHandler front_handler;
  bool destroyed = false;
};

namespace {

struct WindowTable {
  std::mutex mutex;
  std::unordered_map<DesktopWindow, std::shared_ptr<OwnedWindow>> windows;
};

WindowTable& table() {
  // Never destroyed: windows may be looked up while the process exits.
  static WindowTable* instance = new WindowTable;
  return *instance;
}

uint32_t random_handle() {
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::lock_guard lock(mutex);
  uint32_t value = 0;
  while (value == 0) value = static_cast<uint32_t>(generator());
  return value;
}

bool epoll_add(int epoll_fd, int fd, uint32_t events) {
  epoll_event event{};
  event.events = events;
  event.data.fd = fd;
  return ::epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &event) == 0;
}

void drop_connection(OwnedWindow& window, int fd) {
  ::epoll_ctl(window.epoll_fd.get(), EPOLL_CTL_DEL, fd, nullptr);
  window.connections.erase(fd);  // closes it: the sender sees the refusal
}

void accept_connections(OwnedWindow& window) {
  for (;;) {
    UniqueFd fd(::accept4(window.listen_fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd.valid()) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // EAGAIN, or nothing more we can take now
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
        peer.uid != ::geteuid()) {
      continue;  // another user's process: refused by closing
    }
    if (window.connections.size() >= kMaxConnections) continue;
    if (!epoll_add(window.epoll_fd.get(), fd.get(), EPOLLIN | EPOLLRDHUP)) continue;
    const int key = fd.get();
    window.connections[key] = Connection{std::move(fd), {}, Clock::now() + kConnectionDeadline};
  }
}

// Reads what the connection has; moves a complete, valid request to `ready`.
void read_connection(OwnedWindow& window, int fd, std::vector<ReadyRequest>& ready) {
  auto found = window.connections.find(fd);
  if (found == window.connections.end()) return;
  Connection& connection = found->second;
  uint8_t chunk[8192];
  for (;;) {
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got > 0) {
      if (connection.bytes.size() + static_cast<std::size_t>(got) > desktop_wire::kMaxRequest) {
        drop_connection(window, fd);  // more than any request can be
        return;
      }
      connection.bytes.insert(connection.bytes.end(), chunk, chunk + got);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    break;  // end of the request, or a broken connection
  }
  desktop_wire::Request request;
  desktop_wire::ParseError error;
  if (!desktop_wire::parse_request(connection.bytes.data(), connection.bytes.size(), request,
                                   error)) {
    drop_connection(window, fd);
    return;
  }
  ::epoll_ctl(window.epoll_fd.get(), EPOLL_CTL_DEL, fd, nullptr);
  ready.push_back(ReadyRequest{std::move(connection.fd), std::move(connection.bytes)});
  window.connections.erase(found);
}

void expire_connections(OwnedWindow& window) {
  const auto now = Clock::now();
  std::vector<int> expired;
  for (const auto& [fd, connection] : window.connections) {
    if (connection.deadline <= now) expired.push_back(fd);
  }
  for (int fd : expired) drop_connection(window, fd);
}

void arm_timer(OwnedWindow& window) {
  itimerspec spec{};
  if (!window.connections.empty()) {
    auto earliest = Clock::time_point::max();
    for (const auto& [fd, connection] : window.connections) {
      earliest = std::min(earliest, connection.deadline);
    }
    const auto wait =
        std::max<Clock::duration>(earliest - Clock::now(), std::chrono::milliseconds(1));
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    spec.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    spec.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
  }
  ::timerfd_settime(window.timer_fd.get(), 0, &spec, nullptr);
}

std::vector<ReadyRequest> collect_requests(OwnedWindow& window) {
  std::vector<ReadyRequest> ready;
  epoll_event events[32];
  for (;;) {
    const int count = ::epoll_wait(window.epoll_fd.get(), events, 32, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    for (int i = 0; i < count; ++i) {
      const int fd = events[i].data.fd;
      if (fd == window.listen_fd.get()) {
        accept_connections(window);
      } else if (fd == window.timer_fd.get()) {
        uint64_t expirations = 0;
        [[maybe_unused]] ssize_t got = ::read(fd, &expirations, sizeof expirations);
      } else {
        read_connection(window, fd, ready);
      }
    }
    if (count < 32) break;
  }
  expire_connections(window);
  arm_timer(window);
  return ready;
}

void answer(int fd, desktop_wire::Status status) {
  const auto byte = static_cast<uint8_t>(status);
  [[maybe_unused]] ssize_t sent = ::send(fd, &byte, 1, MSG_NOSIGNAL);
}

bool owner_call(DesktopWindow handle, std::shared_ptr<OwnedWindow>& window) {
  window = find_for_owner(handle);
  return window != nullptr;
}

bool write_own_entry(OwnedWindow& window) {
  desktop_registry::RegistryLock lock(window.dir);
  return lock.held() && desktop_registry::write_entry(window.dir, window.entry);
}

bool activate(OwnedWindow& window) {
  desktop_registry::RegistryLock lock(window.dir);
  if (!lock.held()) return false;
  window.entry.stamp = desktop_registry::now_stamp();
  return desktop_registry::write_entry(window.dir, window.entry);
}

std::string_view cut_at_zero(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

}  // namespace

std::shared_ptr<OwnedWindow> find_for_owner(DesktopWindow window) {
  WindowTable& windows = table();
  std::lock_guard lock(windows.mutex);
  auto found = windows.windows.find(window);
  if (found == windows.windows.end()) return nullptr;
  if (found->second->owner != std::this_thread::get_id()) return nullptr;
  return found->second;
}

desktop_wire::Status dispatch(OwnedWindow& window, const desktop_wire::Request& request) {
  using desktop_wire::Status;
  if (window.destroyed) return Status::failed;
  if (request.kind == desktop_wire::Kind::bring_to_front) {
    DesktopFrontHandler handler = window.front_handler;
    bool ran = false;
    if (handler) {
      try {
        handler();
        ran = true;
      } catch (...) {
        return Status::failed;
      }
    }
    if (!window.destroyed) activate(window);
    return ran ? Status::handled : Status::no_handler;
  }
  // A copy: handlers may add or remove handlers while they run.
  const auto handlers = window.copy_handlers;
  if (handlers.empty()) return Status::no_handler;
  const DesktopCopyData message{request.first, request.text};
  for (const auto& [id, handler] : handlers) {
    const auto still = std::find_if(window.copy_handlers.begin(), window.copy_handlers.end(),
                                    [id = id](const auto& item) { return item.first == id; });
    if (still == window.copy_handlers.end()) continue;
    try {
      handler(message);
    } catch (...) {
      return Status::failed;
    }
  }
  return Status::handled;
}

}  // namespace desktop_owned

using desktop_owned::OwnedWindow;

DesktopWindow desktop_create_window(std::string_view title, calendo::Fault* why) {
  auto refuse = [why](std::string message) -> DesktopWindow {
    if (why != nullptr)
      *why = calendo::Fault{calendo::Failure::CannotCreate, 0, std::move(message)};
    return 0;
  };
  title = desktop_owned::cut_at_zero(title);
  if (title.size() > desktop_registry::kMaxTitle) return refuse("title longer than 65535 bytes");
  try {
    auto window = std::make_shared<OwnedWindow>();
    calendo::Result<std::string> dir = desktop_registry::directory();
    if (!dir.ok()) {
      if (why != nullptr) *why = dir.fault();
      return 0;
    }
    window->dir = std::move(dir.value());
    window->owner = std::this_thread::get_id();
    window->epoll_fd.reset(::epoll_create1(EPOLL_CLOEXEC));
    window->timer_fd.reset(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    window->listen_fd.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!window->epoll_fd.valid() || !window->timer_fd.valid() || !window->listen_fd.valid())
      return refuse(std::string("cannot make the window: ") + std::strerror(errno));
    desktop_registry::RegistryLock lock(window->dir);
    if (!lock.held()) return refuse(window->dir + ": cannot take the registry lock");
    desktop_registry::sweep_orphans(window->dir);
    DesktopWindow handle = 0;
    for (int attempt = 0; attempt < 64 && handle == 0; ++attempt) {
      const DesktopWindow candidate = desktop_owned::random_handle();
      if (::access(desktop_registry::entry_path(window->dir, candidate).c_str(), F_OK) != 0) {
        handle = candidate;
      }
    }
    if (handle == 0) return refuse("no free window handle");
    const std::string socket_path = desktop_registry::socket_path(window->dir, handle);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    ::unlink(socket_path.c_str());
    if (::bind(window->listen_fd.get(), reinterpret_cast<const sockaddr*>(&address),
               sizeof address) != 0 ||
        ::listen(window->listen_fd.get(), 16) != 0) {
      const std::string reason = socket_path + ": " + std::strerror(errno);
      ::unlink(socket_path.c_str());
      return refuse(reason);
    }
    if (!desktop_owned::epoll_add(window->epoll_fd.get(), window->listen_fd.get(), EPOLLIN) ||
        !desktop_owned::epoll_add(window->epoll_fd.get(), window->timer_fd.get(), EPOLLIN)) {
      const std::string reason = std::string("epoll: ") + std::strerror(errno);
      ::unlink(socket_path.c_str());
      return refuse(reason);
    }
    window->handle = handle;
    window->entry.handle = handle;
    window->entry.pid = ::getpid();
    window->entry.start_time = desktop_registry::own_start_time();
    window->entry.stamp = desktop_registry::now_stamp();
    window->entry.title.assign(title);
    if (!desktop_registry::write_entry(window->dir, window->entry)) {
      ::unlink(socket_path.c_str());
      return refuse(window->dir + ": cannot write the window entry");
    }
    auto& windows = desktop_owned::table();
    std::lock_guard table_lock(windows.mutex);
    windows.windows[handle] = std::move(window);
    return handle;
  } catch (const std::exception& failure) {
    return refuse(failure.what());
  }
}

bool desktop_destroy_window(DesktopWindow handle) {
  std::shared_ptr<OwnedWindow> window;
  if (!desktop_owned::owner_call(handle, window)) return false;
  {
    auto& windows = desktop_owned::table();
    std::lock_guard lock(windows.mutex);
    windows.windows.erase(handle);
  }
  window->destroyed = true;
  {
    desktop_registry::RegistryLock lock(window->dir);
    desktop_registry::remove_window_files(window->dir, handle);
  }
  // No new connections; those being read close with the window, and a
  // processing call further up the stack answers the rest as failed.
  ::epoll_ctl(window->epoll_fd.get(), EPOLL_CTL_DEL, window->listen_fd.get(), nullptr);
  window->listen_fd.reset();
  window->copy_handlers.clear();
  window->front_handler = nullptr;
  return true;
}

bool desktop_set_title(DesktopWindow handle, std::string_view title) {
  std::shared_ptr<OwnedWindow> window;
  if (!desktop_owned::owner_call(handle, window)) return false;
  title = desktop_owned::cut_at_zero(title);
  if (title.size() > desktop_registry::kMaxTitle) return false;
  try {
    window->entry.title.assign(title);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return desktop_owned::write_own_entry(*window);
}

bool desktop_activate(DesktopWindow handle) {
  std::shared_ptr<OwnedWindow> window;
  return desktop_owned::owner_call(handle, window) && desktop_owned::activate(*window);
}

uint32_t desktop_add_copy_data_handler(DesktopWindow handle, DesktopCopyDataHandler handler) {
  std::shared_ptr<OwnedWindow> window;
  if (!handler || !desktop_owned::owner_call(handle, window)) return 0;
  try {
    const uint32_t id = window->next_handler_id++;
    window->copy_handlers.emplace_back(id, std::move(handler));
    return id;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool desktop_remove_copy_data_handler(DesktopWindow handle, uint32_t handler_id) {
  std::shared_ptr<OwnedWindow> window;
  if (!desktop_owned::owner_call(handle, window)) return false;
  auto& handlers = window->copy_handlers;
  auto found = std::find_if(handlers.begin(), handlers.end(),
                            [handler_id](const auto& item) { return item.first == handler_id; });
  if (found == handlers.end()) return false;
  handlers.erase(found);
  return true;
}

bool desktop_set_front_handler(DesktopWindow handle, DesktopFrontHandler handler) {
  std::shared_ptr<OwnedWindow> window;
  if (!desktop_owned::owner_call(handle, window)) return false;
  window->front_handler = std::move(handler);
  return true;
}

int desktop_event_fd(DesktopWindow handle) {
  std::shared_ptr<OwnedWindow> window;
  return desktop_owned::owner_call(handle, window) ? window->epoll_fd.get() : -1;
}

int desktop_process_pending(DesktopWindow handle) {
  std::shared_ptr<OwnedWindow> window;
  if (!desktop_owned::owner_call(handle, window)) return -1;
  try {
    std::vector<desktop_owned::ReadyRequest> ready = desktop_owned::collect_requests(*window);
    int handled = 0;
    for (auto& item : ready) {
      desktop_wire::Request request;
      desktop_wire::ParseError error;
      desktop_wire::parse_request(item.bytes.data(), item.bytes.size(), request, error);
      desktop_owned::answer(item.fd.get(), desktop_owned::dispatch(*window, request));
      item.fd.reset();
      ++handled;
    }
    return handled;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int desktop_wait_and_process(DesktopWindow handle, std::chrono::milliseconds timeout) {
  const int fd = desktop_event_fd(handle);
  if (fd < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const int handled = desktop_process_pending(handle);
    if (handled != 0) return handled;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    pollfd wait{fd, POLLIN, 0};
    ::poll(&wait, 1, static_cast<int>(std::min<int64_t>(left.count() + 1, INT32_MAX)));
  }
}

}  // namespace platform
