#include "overview/waveform_strip.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>

namespace calendo {
namespace {

const QColor kBackground(16, 32, 16);
const QColor kPause(56, 56, 56);
const QColor kSpColour(0, 192, 0);
const QColor kLpColour(64, 160, 255);
const QColor kHeard(255, 255, 0);

}  // namespace

WaveformStrip::WaveformStrip(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void WaveformStrip::SetPeaks(std::shared_ptr<const WaveformPeaks> peaks,
                             std::vector<SampleStretch> pauses) {
  peaks_ = std::move(peaks);
  pauses_ = std::move(pauses);
  update();
}

void WaveformStrip::SetHeardPage(uint32_t page) {
  const double heard = peaks_ ? fraction_at_page(*peaks_, page) : 0.0;
  if (heard == heard_) return;
  heard_ = heard;
  update();
}

double WaveformStrip::FractionAtX(int x) const {
  return width() <= 0 ? 0.0 : (x + 0.5) / width();
}

int WaveformStrip::XAtFraction(double fraction) const {
  return std::clamp(static_cast<int>(fraction * width()), 0, std::max(0, width() - 1));
}

uint32_t WaveformStrip::PageAtX(int x) const {
  if (!peaks_) return 0;
  return page_at_fraction(*peaks_, FractionAtX(std::clamp(x, 0, std::max(0, width() - 1))));
}

void WaveformStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  const int w = width();
  const int h = height();
  if (!peaks_ || peaks_->total_samples == 0 || w <= 0) return;
  const WaveformPeaks& p = *peaks_;
  const double samples = static_cast<double>(p.total_samples);
  for (const SampleStretch& pause : pauses_) {
    const int from = XAtFraction(static_cast<double>(pause.begin) / samples);
    const int to = XAtFraction(static_cast<double>(pause.end) / samples);
    painter.fillRect(from, 0, to - from + 1, h, kPause);
  }
  // Blocks of the whole recording, of which those measured so far are drawn.
  const double blocks = samples / p.samples_per_peak;
  const double middle = h / 2.0;
  const double scale = (h / 2.0 - 1) / 32768.0;
  for (int x = 0; x < w; ++x) {
    const auto first = static_cast<std::size_t>(x * blocks / w);
    const auto last = std::max(first + 1, static_cast<std::size_t>((x + 1) * blocks / w));
    if (first >= p.size()) break;
    int16_t low = p.mins[first];
    int16_t high = p.maxs[first];
    std::size_t lp = 0;
    const std::size_t end = std::min(last, p.size());
    for (std::size_t b = first; b < end; ++b) {
      low = std::min(low, p.mins[b]);
      high = std::max(high, p.maxs[b]);
      lp += p.lp[b];
    }
    painter.setPen(2 * lp > end - first ? kLpColour : kSpColour);
    painter.drawLine(x, static_cast<int>(middle - high * scale), x,
                     static_cast<int>(middle - low * scale));
  }
  painter.setPen(kHeard);
  const int heard = dragged_x_ >= 0 ? dragged_x_ : XAtFraction(heard_);
  painter.drawLine(heard, 0, heard, h - 1);
}

void WaveformStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !peaks_) return;
  dragged_x_ = std::clamp(static_cast<int>(event->position().x()), 0, std::max(0, width() - 1));
  pressed_page_ = PageAtX(dragged_x_);
  update();
  emit Chosen(pressed_page_);
}

void WaveformStrip::mouseMoveEvent(QMouseEvent* event) {
  if (dragged_x_ < 0) return;
  dragged_x_ = std::clamp(static_cast<int>(event->position().x()), 0, std::max(0, width() - 1));
  update();
}

void WaveformStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || dragged_x_ < 0) return;
  const int x = std::clamp(static_cast<int>(event->position().x()), 0, std::max(0, width() - 1));
  dragged_x_ = -1;
  update();
  // A drag goes on from where it was let go; a click has chosen its page already.
  if (PageAtX(x) != pressed_page_) emit Chosen(PageAtX(x));
}

}  // namespace calendo
