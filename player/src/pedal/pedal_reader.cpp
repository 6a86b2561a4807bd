#include "pedal/pedal_reader.h"

#include <cstdio>

#include <hidapi/hidapi.h>

namespace calendo {
namespace {

constexpr int kReadTimeoutMs = 250;

// The first device of `ids` that opens, or null.
hid_device* OpenFirst(PedalIds ids, bool& told_refusal) {
  hid_device_info* found = hid_enumerate(ids.vendor, ids.product);
  hid_device* device = nullptr;
  bool refused = false;
  for (const hid_device_info* info = found; info != nullptr && device == nullptr;
       info = info->next) {
    device = hid_open_path(info->path);
    refused = device == nullptr;
  }
  hid_free_enumeration(found);
  // Found but not opened is worth one line: mostly a missing udev rule.
  if (refused && !told_refusal) {
    told_refusal = true;
    std::fprintf(stderr, "calendo: the foot pedal %04x:%04x is there but could not be opened\n",
                 ids.vendor, ids.product);
  }
  return device;
}

}  // namespace

PedalReader::PedalReader(PedalIds ids, Sink sink, std::chrono::milliseconds rescan)
    : ids_(ids), sink_(std::move(sink)), rescan_(rescan), thread_([this] { Run(); }) {}

PedalReader::~PedalReader() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool PedalReader::Sleep(std::chrono::milliseconds period) {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, period, [this] { return stopping_.load(); });
}

void PedalReader::Run() {
  if (hid_init() != 0) return;
  bool told_refusal = false;
  while (!stopping_) {
    hid_device* device = OpenFirst(ids_, told_refusal);
    if (device == nullptr) {
      if (!Sleep(rescan_)) break;
      continue;
    }
    connected_ = true;
    uint8_t report[64];
    while (!stopping_) {
      const int size = hid_read_timeout(device, report, sizeof report, kReadTimeoutMs);
      if (size < 0) break;  // unplugged
      if (size == 0) continue;
      if (const std::optional<uint8_t> held =
              DecodePedalReport(report, static_cast<size_t>(size))) {
        sink_(*held);
      }
    }
    hid_close(device);
    connected_ = false;
    if (!stopping_) sink_(0);  // a pedal held as the device went is held no longer
  }
  hid_exit();
}

}  // namespace calendo
