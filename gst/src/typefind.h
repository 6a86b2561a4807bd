// Type finders for the two containers of voice recorder files, by content:
// "OIFF" at 0 and "WAVE" at 8 (vqr), "VQ_VOICE" at 0 (vqm). A plain WAV file
// ("RIFF" at 0) matches neither.
#pragma once

#include <gst/gst.h>

gboolean calendo_register_type_finders(GstPlugin* plugin);
