// Which handler runs for which event of the window's controls.
#include "window/form1.h"

namespace calendo {

void Form1::ConnectHandlers() {
  connect(EXITX, &QPushButton::clicked, this, [this] { RunHandler([this] { EXITX_Click(); }); });
  connect(EXIT0, &QAction::triggered, this, [this] { RunHandler([this] { EXIT0_Click(); }); });
  ConnectPlaybackHandlers();
  ConnectConversionHandlers();
  ConnectTestWavHandlers();
}

}  // namespace calendo
