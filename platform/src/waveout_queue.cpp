#include "waveout_queue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace platform::waveout {
namespace {

std::atomic_ref<WaveHeader*> link_of(WaveHeader* header) {
  return std::atomic_ref<WaveHeader*>(header->next);
}

}  // namespace

HeaderFifo::HeaderFifo() : head_(&stub_), tail_(&stub_) {}

void HeaderFifo::push(WaveHeader* header) {
  link_of(header).store(nullptr, std::memory_order_relaxed);
  WaveHeader* previous = head_.exchange(header, std::memory_order_acq_rel);
  link_of(previous).store(header, std::memory_order_release);
}

WaveHeader* HeaderFifo::pop() {
  WaveHeader* tail = tail_;
  WaveHeader* next = link_of(tail).load(std::memory_order_acquire);
  if (tail == &stub_) {
    if (next == nullptr) return nullptr;
    tail_ = next;
    tail = next;
    next = link_of(next).load(std::memory_order_acquire);
  }
  if (next != nullptr) {
    tail_ = next;
    return tail;
  }
  if (tail != head_.load(std::memory_order_acquire)) return nullptr;  // push half done
  push(&stub_);
  next = link_of(tail).load(std::memory_order_acquire);
  if (next != nullptr) {
    tail_ = next;
    return tail;
  }
  return nullptr;
}

BufferQueue::BufferQueue() {
  ::sem_init(&done_signal_, 0, 0);
}

BufferQueue::~BufferQueue() {
  ::sem_destroy(&done_signal_);
}

std::size_t BufferQueue::pull(std::uint8_t* out, std::size_t bytes) {
  if (paused_.load(std::memory_order_acquire)) return 0;
  if (consumer_busy_.test_and_set(std::memory_order_acquire)) return 0;
  std::size_t copied = 0;
  bool finished = false;
  for (;;) {
    if (current_ == nullptr) {
      current_ = pending_.pop();
      offset_ = 0;
      if (current_ == nullptr) break;
    }
    const std::size_t n = std::min<std::size_t>(current_->length - offset_, bytes - copied);
    if (out != nullptr && n != 0) {
      std::memcpy(out + copied, static_cast<const std::uint8_t*>(current_->data) + offset_, n);
    }
    offset_ += n;
    copied += n;
    if (offset_ == current_->length) {
      done_.push(current_);
      current_ = nullptr;
      finished = true;
    }
    if (copied == bytes) break;
  }
  consumer_busy_.clear(std::memory_order_release);
  if (finished) ::sem_post(&done_signal_);
  return copied;
}

void BufferQueue::return_all() {
  while (consumer_busy_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  if (current_ != nullptr) done_.push(current_);
  current_ = nullptr;
  while (WaveHeader* header = pending_.pop()) done_.push(header);
  consumer_busy_.clear(std::memory_order_release);
}

void BufferQueue::wait_for_done() {
  while (::sem_wait(&done_signal_) != 0 && errno == EINTR) {
  }
}

void BufferQueue::wake_done_waiter() {
  ::sem_post(&done_signal_);
}

}  // namespace platform::waveout
