// File opening, real-time playback, the transport buttons, the slider and the
// timer.
#include "form1.h"

namespace calendo {

void Form1::ConnectPlaybackHandlers() {}

void Form1::M_fileopen_Click() {}
void Form1::PlayX_Click() {}
void Form1::CueX_Click() {}
void Form1::RevX_Click() {}
void Form1::StopX_Click() {}
void Form1::Cancelx_Click() {}
void Form1::PlaySlider_MouseDown() {}
void Form1::Timer1_Timer() {}

}  // namespace calendo
