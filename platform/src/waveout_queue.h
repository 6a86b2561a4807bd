// The written buffers of one open wave-out device, between the thread that
// writes them and the consumer that plays them (a real-time audio callback or
// a pacing thread).
//
// Threads: write() from the device's owner; pull() from one consumer at a
// time; return_all() from the owner; pop_done() and wait_for_done() from the
// family's notice thread. pull() is real-time safe: it never allocates, never
// waits for a lock (it gives up and plays nothing while return_all() runs) and
// signals finished buffers with sem_post. Buffers are linked through
// WaveHeader::next, so no call allocates.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/waveout.h"

namespace platform::waveout {

// Intrusive multi-producer single-consumer FIFO of headers (a Vyukov queue).
// pop() may report empty while a push from another thread is half done.
class HeaderFifo {
 public:
  HeaderFifo();
  HeaderFifo(const HeaderFifo&) = delete;
  HeaderFifo& operator=(const HeaderFifo&) = delete;

  void push(WaveHeader* header);
  WaveHeader* pop();  // REQUIRES: one consumer at a time

 private:
  std::atomic<WaveHeader*> head_;
  WaveHeader* tail_;
  WaveHeader stub_;
};

class BufferQueue {
 public:
  BufferQueue();
  ~BufferQueue();
  BufferQueue(const BufferQueue&) = delete;
  BufferQueue& operator=(const BufferQueue&) = delete;

  void write(WaveHeader* header) { pending_.push(header); }

  // Copies up to `bytes` bytes of the written buffers, oldest first, to `out`
  // (nullptr: only counts them as played). Returns the number of bytes; 0
  // while paused, while return_all() runs, or when nothing is written.
  std::size_t pull(std::uint8_t* out, std::size_t bytes);

  // While paused, pull() plays nothing.
  void set_paused(bool paused) { paused_.store(paused, std::memory_order_release); }

  // Moves every written buffer, the one being played included, to the done
  // list; waits for a running pull() to end first.
  void return_all();

  // The oldest finished buffer, or nullptr.
  WaveHeader* pop_done() { return done_.pop(); }
  // Sleeps until buffers finished (or wake_done_waiter() was called).
  void wait_for_done();
  void wake_done_waiter();

 private:
  HeaderFifo pending_;
  HeaderFifo done_;
  std::atomic_flag consumer_busy_;
  std::atomic<bool> paused_{false};
  WaveHeader* current_ = nullptr;  // owned by whoever holds consumer_busy_
  std::size_t offset_ = 0;
  sem_t done_signal_;
};

}  // namespace platform::waveout
