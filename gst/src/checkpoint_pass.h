// The codec states before every checkpoint page of a whole recording,
// computed once the file is read, on every core, on a thread of its own and
// through a reader of its own (its own pulls and cache), so that any seek
// then decodes from the nearest checkpoint. When done it posts the element
// message "calendodec-checkpoints" (checkpoints: the number of states,
// seconds: how long the pass took).
#pragma once

#include <gst/gst.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "calendo/recording_decoder.h"

namespace calendo::gst {

class CheckpointPass {
 public:
  // Over the file upstream of `sinkpad` (`size` bytes, pulled), or over
  // `held` when `size` is 0. REQUIRES: the element, its pad and `held`
  // outlive the pass.
  CheckpointPass(GstElement* element, GstPad* sinkpad, uint64_t size,
                 std::span<const uint8_t> held);
  // Stops the pass and waits for its thread.
  ~CheckpointPass();
  CheckpointPass(const CheckpointPass&) = delete;
  CheckpointPass& operator=(const CheckpointPass&) = delete;

  // Once the pass is done, gives its states to `decoder` (of the same
  // recording); until then, and after, does nothing.
  void hand_over(RecordingDecoder& decoder);

  // Waits until the pass has ended, done or not.
  void wait();

 private:
  void run(std::stop_token stop);
  void compute(std::stop_token stop);

  GstElement* element_;
  GstPad* sinkpad_;
  uint64_t size_;
  std::span<const uint8_t> held_;
  std::mutex lock_;
  std::condition_variable ended_;
  std::vector<AdpcmState> states_;
  bool done_ = false;
  bool over_ = false;    // the pass has ended, done or not
  std::jthread thread_;  // last: started once the fields above are set
};

}  // namespace calendo::gst
