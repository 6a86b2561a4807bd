// The foot pedal (pedal/): the reader's thread hands the pedals held to the
// window's thread, where PedalTransport turns them into the transport's
// commands. Each command does only what the buttons and keys may do in the
// window's present state: nothing without a file or during a conversion.
#include <cstdio>

#include "pedal/pedal_reader.h"
#include "window/form1.h"

namespace calendo {

std::unique_ptr<PedalReader> Form1::ListenToPedals(std::chrono::milliseconds rescan) {
  PedalIds ids = kDefaultPedalIds;
  const QString named = kept_ ? kept_->PedalDevice().trimmed() : QString();
  if (named == QLatin1String("off")) return nullptr;
  if (!named.isEmpty()) {
    if (const std::optional<PedalIds> parsed = ParsePedalIds(named)) {
      ids = *parsed;
    } else {
      std::fprintf(stderr,
                   "calendo: [pedal] device=%s is not vendor:product in hex; %04x:%04x used\n",
                   named.toLocal8Bit().constData(), ids.vendor, ids.product);
    }
  }
  return std::make_unique<PedalReader>(
      ids,
      [this](uint8_t held) {
        QMetaObject::invokeMethod(
            this, [this, held] { RunHandler([this, held] { TakePedals(held); }); },
            Qt::QueuedConnection);
      },
      rescan);
}

void Form1::TakePedals(uint8_t held) {
  if (const std::optional<PedalCommand> command = pedal_transport_.Take(held)) {
    DoPedalCommand(*command);
  }
}

void Form1::DoPedalCommand(PedalCommand command) {
  // A playback a move ended (a resume that rewinds, say) and that is about to
  // go on: it goes on in the mode the pedals want, or not at all once they
  // are let go, staying at its page as after Space.
  const bool restarting = PlayActive == 0 && seek_.pending;
  if (command == PedalCommand::pause) {
    if (restarting) {
      seek_.pending = false;
    } else {
      Pause();
    }
    return;
  }
  const int16_t mode = command == PedalCommand::play ? 0 : command == PedalCommand::cue ? 1 : -1;
  if (restarting) {
    seek_.mode = mode;
  } else if (PlayActive == 0) {
    QPushButton* button = mode == 0 ? PlayX : mode == 1 ? CueX : RevX;
    if (!button->isEnabled() || button->isHidden()) return;
    StartPlayback(mode);
  } else if (PlayingMode() == mode) {
    Resume();  // rewinding first when that is set, as a resume by Space does
  } else if (PlaySlider->isEnabled() && !PlaySlider->isHidden() && ConvActive == 0) {
    // The playback that runs ends, and goes on in `mode` from the page it
    // reached, as a move by a key does: one playback never runs inside another.
    seek_ = {true, mode, PlayFileName};
    PlayActive = 0;
    imports::WavStop();
    StartPage = PlaySlider->value();
  }
}

}  // namespace calendo
