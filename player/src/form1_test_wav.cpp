// The parked WAV test playback: plays the WAV file named in Text1.
#include "form1.h"

namespace calendo {

void Form1::ConnectTestWavHandlers() {}

void Form1::TestWavPlay_Click() {}

}  // namespace calendo
