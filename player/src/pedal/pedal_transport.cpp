#include "pedal/pedal_transport.h"

#include <algorithm>

#include "pedal/pedal_report.h"

namespace calendo {

std::optional<PedalCommand> PedalTransport::Take(uint8_t held) {
  held &= kPedalMask;
  std::erase_if(held_, [held](uint8_t pedal) { return (held & pedal) == 0; });
  for (const uint8_t pedal : {kPedalLeft, kPedalMiddle, kPedalRight}) {
    if ((held & pedal) != 0 && std::find(held_.begin(), held_.end(), pedal) == held_.end()) {
      held_.push_back(pedal);  // pressed in the same report: left before middle before right
    }
  }
  const std::optional<PedalCommand> wanted = Wanted();
  // Before any pedal was pressed nothing is asked, not even a pause.
  if (!wanted || wanted == last_) return std::nullopt;
  last_ = wanted;
  return wanted;
}

std::optional<PedalCommand> PedalTransport::Wanted() const {
  if (held_.empty()) {
    if (!last_) return std::nullopt;
    return PedalCommand::pause;
  }
  switch (held_.back()) {
    case kPedalLeft:
      return PedalCommand::review;
    case kPedalRight:
      return PedalCommand::cue;
    default:
      return PedalCommand::play;
  }
}

}  // namespace calendo
