// The three things calendo-convert does, each for all the files of a command
// line, with the messages and exit status people see.
#pragma once

#include "options.h"

namespace calendo::tool {

inline constexpr int kExitDone = 0;    // every file done
inline constexpr int kExitFailed = 1;  // some file failed (each named on standard error)
inline constexpr int kExitUsage = 2;   // bad command line

const char* VersionText();

// Converts every file to WAV (-j: in child processes). Writes one line per
// WAV file made to standard output unless quiet.
int RunConvert(const Options& options);

// Prints what every file holds, as text or JSON (an array of objects).
int RunInfo(const Options& options);

// Makes a recorder file from every WAV file.
int RunEncode(const Options& options);

}  // namespace calendo::tool
