#include "checkpoint_pass.h"

#include <chrono>
#include <memory>

#include "pad_source.h"

namespace calendo::gst {

CheckpointPass::CheckpointPass(GstElement* element, GstPad* sinkpad, uint64_t size,
                               std::span<const uint8_t> held)
    : element_(element),
      sinkpad_(sinkpad),
      size_(size),
      held_(held),
      thread_([this](std::stop_token stop) { run(stop); }) {}

CheckpointPass::~CheckpointPass() {
  thread_.request_stop();
  thread_ = {};  // joins
}

void CheckpointPass::run(std::stop_token stop) {
  compute(stop);
  std::lock_guard<std::mutex> guard(lock_);
  over_ = true;
  ended_.notify_all();
}

void CheckpointPass::wait() {
  std::unique_lock<std::mutex> lock(lock_);
  ended_.wait(lock, [&] { return over_; });
}

void CheckpointPass::compute(std::stop_token stop) {
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<ByteSource> source;
  const PulledSource* pulled = nullptr;
  if (size_ > 0) {
    auto own = std::make_unique<PulledSource>(sinkpad_, size_);
    pulled = own.get();
    source = std::move(own);
  } else {
    source = std::make_unique<SpanSource>(held_);
  }
  const Result<RecordingPages> recording = RecordingPages::read(*source);
  if (!recording.ok()) return;
  ParallelDecoder parallel;
  std::vector<AdpcmState> states = checkpoint_states(recording.value(), parallel, stop);
  // States computed from bytes a pull did not give would not be the file's.
  if (states.empty() || (pulled != nullptr && pulled->failure() != GST_FLOW_OK)) return;
  const auto count = static_cast<guint>(states.size());
  {
    std::lock_guard<std::mutex> guard(lock_);
    states_ = std::move(states);
    done_ = true;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  gst_element_post_message(
      element_, gst_message_new_element(
                    GST_OBJECT_CAST(element_),
                    gst_structure_new("calendodec-checkpoints", "checkpoints", G_TYPE_UINT, count,
                                      "seconds", G_TYPE_DOUBLE, seconds, nullptr)));
}

void CheckpointPass::hand_over(RecordingDecoder& decoder) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!done_ || states_.empty()) return;
  decoder.adopt_checkpoints(std::move(states_));
  states_.clear();
}

}  // namespace calendo::gst
