// Writing past the process's file-size limit (ulimit -f): by default the
// system ends the process with SIGXFSZ, leaving a half-written WAV file under
// the name the user chose. With the signal ignored the write fails instead,
// and the conversion treats it as a full disk: it says so and removes the
// file.
#pragma once

namespace calendo {

// Call once at start, before any file is written.
void TreatFileSizeLimitAsFullDisk();

}  // namespace calendo
