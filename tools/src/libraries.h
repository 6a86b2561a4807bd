// Where calendo-convert finds the libraries it calls.
//
// Decoding and encoding both go through the binding table
// (calendo/client/imports.h), so the tool makes exactly the player's calls.
// The libraries are loaded with RTLD_LOCAL from the lib/ folder beside the
// program's bin/ folder: kestrune and tesmor export some of the same names,
// and each call must reach the library it names.
//
// Threads: one thread per process (the libraries hold one codec state each).
#pragma once

#include <string>

namespace calendo::tool {

// Points the binding at <folder of the running program>/../lib. Call once at
// start, before any library call.
void UseLibrariesBesideProgram();

// The folder the libraries are loaded from (for messages).
const std::string& LibraryFolder();

}  // namespace calendo::tool
