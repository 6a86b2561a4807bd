// Removing the process's pending files (calendo/pending_file.h) when a signal
// ends it: SIGINT, SIGTERM and SIGHUP remove the temporary name of every file
// still pending, then end the process by the same signal, as it would have
// ended without the handler. A signal that was ignored when the program
// started (SIGHUP under nohup) stays ignored. SIGXFSZ is ignored, so that
// writing past a file-size limit (ulimit -f) fails with EFBIG, which is
// reported and cleaned up like a full disk, instead of ending the process
// with the pending file left behind.
//
// The handler keeps the names of up to kSignalRemovalSlots pending files at a
// time, in storage of its own (it neither allocates nor locks); a file beyond
// those, or with a longer path than PATH_MAX, is left behind by a signal but
// is removed as ever when its object goes.
//
// Threads: any thread may make, commit and drop pending files; signals are
// held off on that thread while it changes one's name.
#pragma once

namespace calendo::client {

inline constexpr int kSignalRemovalSlots = 8;

// Installs the handlers and the watcher of pending files. Call once at start,
// before the first pending file is made.
void RemovePendingFilesOnSignals();

}  // namespace calendo::client
