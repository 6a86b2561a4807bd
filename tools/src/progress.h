// The progress line on standard error: a label, a bar, units done (pages or
// files), percent and speed. Redrawn in place at most ten times a second; drawn only when
// enabled (standard error is a terminal and -q was not given).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace calendo::tool {

// How far one file has come, in memory shared with the process that draws
// the line of a run of several (-j): the units done of the total.
struct SharedProgress {
  std::atomic<uint32_t> done{0};
  std::atomic<uint32_t> total{0};
};

class ProgressBar {
 public:
  ProgressBar(std::string label, uint32_t total, bool enabled, std::string unit = "pages");
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(uint32_t done);
  // Every Update is also stored in `shared` (and the total once, now).
  void Share(SharedProgress* shared);
  // Takes the line off the screen, so that a message can be written; the next
  // Update draws it again.
  void Clear();
  // Draws the last state and ends the line.
  void Finish();

  // The line for `done` of `total` after `seconds` (no carriage return, no
  // newline).
  static std::string Line(const std::string& label, uint32_t done, uint32_t total, double seconds,
                          const std::string& unit = "pages");

 private:
  void Draw(uint32_t done);

  std::string label_;
  std::string unit_;
  uint32_t total_;
  bool enabled_;
  bool drawn_ = false;
  uint32_t last_done_ = 0;
  SharedProgress* shared_ = nullptr;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

// Whether progress is drawn: standard error is a terminal and not quiet.
bool ProgressWanted(bool quiet);

}  // namespace calendo::tool
