// The strip below the window's buttons that shows the whole recording: the
// lowest and highest sample of each pixel column, LP stretches in a colour of
// their own, pauses shaded, and the place being heard as a line. A press or a
// drag chooses a place: the line follows the drag and Chosen() tells the page
// at the press and at the release.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QWidget>

#include "calendo/speech_stretches.h"
#include "calendo/waveform_peaks.h"

namespace calendo {

class WaveformStrip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 48;

  explicit WaveformStrip(QWidget* parent = nullptr);

  // What to draw; null draws an empty strip.
  void SetPeaks(std::shared_ptr<const WaveformPeaks> peaks, std::vector<SampleStretch> pauses);
  // The page being heard.
  void SetHeardPage(uint32_t page);

  // The page under column `x` of the strip.
  uint32_t PageAtX(int x) const;

 signals:
  void Chosen(uint32_t page);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  double FractionAtX(int x) const;
  int XAtFraction(double fraction) const;

  std::shared_ptr<const WaveformPeaks> peaks_;
  std::vector<SampleStretch> pauses_;
  double heard_ = 0;    // fraction of the length
  int dragged_x_ = -1;  // the line while a drag goes on
  uint32_t pressed_page_ = 0;
};

}  // namespace calendo
