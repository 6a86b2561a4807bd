#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace calendo::tool {
namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressBar::ProgressBar(std::string label, uint32_t total, bool enabled, std::string unit)
    : label_(std::move(label)),
      unit_(std::move(unit)),
      total_(total),
      enabled_(enabled),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

ProgressBar::~ProgressBar() {
  // A line left open (a failure part-way) is ended, so messages start afresh.
  if (enabled_ && drawn_) std::fputc('\n', stderr);
}

std::string ProgressBar::Line(const std::string& label, uint32_t done, uint32_t total,
                              double seconds, const std::string& unit) {
  const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / total;
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  char figures[128];
  if (seconds > 0) {
    std::snprintf(figures, sizeof figures, " %u/%u %s %3d%% %6.0f %s/s", done, total, unit.c_str(),
                  static_cast<int>(fraction * 100), done / seconds, unit.c_str());
  } else {
    std::snprintf(figures, sizeof figures, " %u/%u %s %3d%%", done, total, unit.c_str(),
                  static_cast<int>(fraction * 100));
  }
  return label + " [" + bar + "]" + figures;
}

void ProgressBar::Draw(uint32_t done) {
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r%s\x1b[K", Line(label_, done, total_, seconds, unit_).c_str());
  std::fflush(stderr);
  drawn_ = true;
  last_draw_ = now;
}

void ProgressBar::Share(SharedProgress* shared) {
  shared_ = shared;
  if (shared_ != nullptr) shared_->total.store(total_, std::memory_order_relaxed);
}

void ProgressBar::Update(uint32_t done) {
  last_done_ = done;
  if (shared_ != nullptr) shared_->done.store(done, std::memory_order_relaxed);
  if (!enabled_) return;
  if (drawn_ && std::chrono::steady_clock::now() - last_draw_ < kRedrawInterval) return;
  Draw(done);
}

void ProgressBar::Clear() {
  if (!enabled_ || !drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void ProgressBar::Finish() {
  if (!enabled_) return;
  Draw(last_done_);
  std::fputc('\n', stderr);
  drawn_ = false;
}

bool ProgressWanted(bool quiet) {
  return !quiet && ::isatty(STDERR_FILENO) == 1;
}

}  // namespace calendo::tool
