// From the pedals held to the transport: the middle pedal plays while held,
// the left one reviews and the right one cues (double speed backward and
// forward) while held. With several held, the one pressed last leads; as it
// is let go, the one pressed before it leads again. With none held the
// playback pauses: a transcription pedal gives sound only under the foot, so
// lifting it never leaves a cue or a review running.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace calendo {

enum class PedalCommand { play, review, cue, pause };

class PedalTransport {
 public:
  // The pedals now held (kPedal* bits); the command the change asks for,
  // nothing when what should be heard stays the same.
  std::optional<PedalCommand> Take(uint8_t held);

 private:
  std::optional<PedalCommand> Wanted() const;

  std::vector<uint8_t> held_;  // each pedal held, in the order pressed
  std::optional<PedalCommand> last_;
};

}  // namespace calendo
