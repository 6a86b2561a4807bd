// The waveform overview below the buttons: View > Waveform shows or hides it,
// an open file has it measured in the background (OverviewAnalysis), the
// slider's page is its line, and a press or drag on it moves the slider as
// Left and Right do, a playback going on from there in the same mode. N goes
// to the start of the next stretch of speech the overview found.
#include <QMenuBar>
#include <QVBoxLayout>

#include "overview/overview_analysis.h"
#include "overview/waveform_strip.h"
#include "window/form1.h"

namespace calendo {
namespace {

struct ViewMenuTexts {
  const char* view;
  const char* waveform;
};

constexpr ViewMenuTexts kViewMenuJapanese = {"表示", "波形"};
constexpr ViewMenuTexts kViewMenuEnglish = {"View", "Waveform"};

}  // namespace

void Form1::CreateOverview() {
  // The client area keeps its designed size on top; the strip lies below it.
  auto* frame = new QWidget(this);
  auto* rows = new QVBoxLayout(frame);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);
  QWidget* client = takeCentralWidget();
  rows->addWidget(client, 0, Qt::AlignLeft | Qt::AlignTop);
  Overview = new WaveformStrip(frame);
  rows->addWidget(Overview);
  setCentralWidget(frame);
  OverviewWork = new OverviewAnalysis(this);

  const ViewMenuTexts& texts = lang_code_ == "J" ? kViewMenuJapanese : kViewMenuEnglish;
  ViewMenu = menuBar()->addMenu(QString::fromUtf8(texts.view));
  ViewWaveform = ViewMenu->addAction(QString::fromUtf8(texts.waveform));
  ViewWaveform->setCheckable(true);
  ViewWaveform->setChecked(true);
  connect(ViewWaveform, &QAction::toggled, this,
          [this](bool shown) { RunHandler([this, shown] { ShowOverview(shown); }); });

  connect(OverviewWork, &OverviewAnalysis::Updated, this, [this] {
    Overview->SetPeaks(OverviewWork->Peaks(), OverviewWork->Pauses());
    Overview->SetHeardPage(static_cast<uint32_t>(std::max(0, PlaySlider->value())));
  });
  connect(PlaySlider, &QSlider::valueChanged, this,
          [this](int page) { Overview->SetHeardPage(static_cast<uint32_t>(std::max(0, page))); });
  connect(Overview, &WaveformStrip::Chosen, this, [this](uint32_t page) {
    RunHandler([this, page] { MoveToPage(static_cast<int32_t>(page)); });
  });
}

int Form1::OverviewHeight() const {
  return Overview != nullptr && !Overview->isHidden() ? Overview->height() : 0;
}

void Form1::ShowOverview(bool shown) {
  const int before = OverviewHeight();
  Overview->setVisible(shown);
  setFixedSize(width(), height() - before + OverviewHeight());
}

void Form1::StartOverview() {
  OverviewWork->Start(PlayFileName);
}

void Form1::ClearOverview() {
  OverviewWork->Clear();
}

void Form1::NextUtterance() {
  const std::shared_ptr<const WaveformPeaks> peaks = OverviewWork->Peaks();
  if (!peaks || !OverviewWork->Complete()) return;
  const auto here = static_cast<uint32_t>(std::max(0, PlaySlider->value()));
  for (const SampleStretch& speech : OverviewWork->Speech()) {
    const uint32_t page = page_at_sample(peaks->page_starts, speech.begin);
    if (page > here) {
      MoveToPage(static_cast<int32_t>(page));  // nothing while a conversion runs
      return;
    }
  }
}

}  // namespace calendo
