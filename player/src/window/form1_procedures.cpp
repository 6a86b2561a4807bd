// The shared procedures of Form1: button states, the pause, the time display.
#include <algorithm>
#include <chrono>

#include "window/form1.h"
#include "window/time_text.h"

namespace calendo {

void Form1::ComControl(const ButtonFlags& flags) {
  auto set = [](uint8_t flag) { return flag == 0; };
  PlayX->setEnabled(set(flags[0]));
  PlayX->setVisible(set(flags[1]));
  CueX->setEnabled(set(flags[2]));
  CueX->setVisible(set(flags[3]));
  RevX->setEnabled(set(flags[4]));
  RevX->setVisible(set(flags[5]));
  StopX->setEnabled(set(flags[6]));
  StopX->setVisible(set(flags[7]));
  Cancelx->setEnabled(set(flags[8]));
  Cancelx->setVisible(set(flags[9]));
}

void Form1::Wait(float seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(std::max(0.0f, seconds)));
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    pump_.ProcessEventsOrWait(std::min(left, EventPump::kIdleWait));
  }
}

void Form1::TimeDisplay(int32_t& page) {
  if (page < 0) page = 0;
  if (page == 0) {
    TimeMs = 0;
  } else {
    // The time of pages 0 to page needs that many entries of the table.
    if (static_cast<std::size_t>(page) >= SplpTable.size()) Raise(kErrSubscriptOutOfRange);
    TimeMs = imports::get_time(SplpTable.data(), static_cast<uint32_t>(page),
                               static_cast<int32_t>(Splp.page_ms[0]),
                               static_cast<int32_t>(Splp.page_ms[1]));
  }
  NowTimeText = strFormatTime(TimeMs);
  PlayTimeLabel->setText(QStringLiteral("[") + NowTimeText + QStringLiteral(" / ") + TotalTimeText +
                         QStringLiteral("]") + SpeedSuffix());
}

}  // namespace calendo
