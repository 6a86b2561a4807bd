// A foot pedal made by the kernel from /dev/uhid: a three-button device of
// the pedal's vendor and product whose reports the player reads through
// hidraw, as it reads a real one. Skipped where /dev/uhid is missing or may
// not be written, or where the device it makes may not be read.
#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "keyboard.h"
#include "pedal/pedal_reader.h"

namespace calendo {
namespace {

// Three one-bit buttons and five bits of padding in one byte, without a
// report id: the layout of the pedal's input report.
constexpr uint8_t kThreeButtons[] = {
    0x06, 0x00, 0xff,  // Usage Page (vendor defined)
    0x09, 0x01,        // Usage (1)
    0xa1, 0x01,        // Collection (Application)
    0x19, 0x01,        //   Usage Minimum (1)
    0x29, 0x03,        //   Usage Maximum (3)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x03,        //   Report Count (3)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x75, 0x05,        //   Report Size (5)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x03,        //   Input (Constant)
    0xc0,              // End Collection
};

class VirtualPedal {
 public:
  // Opens /dev/uhid; `error` says why not.
  explicit VirtualPedal(std::string& error) {
    fd_ = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
      error = std::string("/dev/uhid: ") + std::strerror(errno);
      return;
    }
    uhid_event event{};
    event.type = UHID_CREATE2;
    std::strncpy(reinterpret_cast<char*>(event.u.create2.name), "calendo test pedal",
                 sizeof event.u.create2.name - 1);
    event.u.create2.rd_size = sizeof kThreeButtons;
    event.u.create2.bus = 0x03;  // USB
    event.u.create2.vendor = kDefaultPedalIds.vendor;
    event.u.create2.product = kDefaultPedalIds.product;
    std::memcpy(event.u.create2.rd_data, kThreeButtons, sizeof kThreeButtons);
    if (!Write(event)) {
      error = std::string("UHID_CREATE2: ") + std::strerror(errno);
      close(fd_);
      fd_ = -1;
    }
  }
  ~VirtualPedal() {
    if (fd_ < 0) return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    Write(event);
    close(fd_);
  }
  bool Made() const { return fd_ >= 0; }

  bool Hold(uint8_t pedals) {
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = 1;
    event.u.input2.data[0] = pedals;
    return Write(event);
  }

 private:
  bool Write(const uhid_event& event) {
    return write(fd_, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
  }
  int fd_ = -1;
};

// The hidraw node the kernel made for the virtual pedal, once there.
std::string HidrawNodeOfPedal() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/hidraw", ignored)) {
    std::ifstream uevent(entry.path() / "device" / "uevent");
    std::string line;
    while (std::getline(uevent, line)) {
      if (line == "HID_NAME=calendo test pedal") return "/dev/" + entry.path().filename().string();
    }
  }
  return {};
}

class PedalDevice : public testing::KeyboardTest {};

TEST_F(PedalDevice, PressesOfTheVirtualPedalPlayAndPause) {
  std::string error;
  VirtualPedal pedal(error);
  if (!pedal.Made()) GTEST_SKIP() << "no virtual HID device: " << error;
  std::string node;
  (void)QTest::qWaitFor(
      [&] { return !(node = HidrawNodeOfPedal()).empty() && access(node.c_str(), F_OK) == 0; },
      5000);
  if (node.empty()) GTEST_SKIP() << "the kernel made no hidraw node for the virtual pedal";
  if (access(node.c_str(), R_OK | W_OK) != 0) {
    GTEST_SKIP() << node << " may not be opened by this user: " << std::strerror(errno);
  }

  setenv("CALENDO_AUDIO_SPEED", "4", 1);
  Open(WriteVqr("memo.vqr", 200));
  const std::unique_ptr<PedalReader> reader = form().ListenToPedals(std::chrono::milliseconds(50));
  ASSERT_TRUE(QTest::qWaitFor([&] { return reader->Connected(); }, 5000));

  bool played = false;
  bool paused = false;
  bool finished = false;
  auto poll = [this](std::function<bool()> ready, std::function<void()> then) {
    auto* timer = new QTimer(form().PlaySlider);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, ready, then] {
      if (!ready()) return;
      timer->deleteLater();
      timer->stop();
      form().RunHandler(then);
    });
    timer->start(5);
  };
  poll([&] { return form().PlayActive != 0 && !form().PlayX->isEnabled(); },
       [&] {
         played = !form().Paused();
         ASSERT_TRUE(pedal.Hold(0));
         poll([&] { return form().Paused(); },
              [&] {
                paused = true;
                form().Stop();
                finished = true;
              });
       });
  ASSERT_TRUE(pedal.Hold(kPedalMiddle));
  EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000));
  EXPECT_TRUE(played);
  EXPECT_TRUE(paused);
  EXPECT_TRUE(Ready());
}

}  // namespace
}  // namespace calendo
