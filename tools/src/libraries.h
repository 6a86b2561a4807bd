// The library functions calendo-convert calls, bound at run time.
//
// Decoding uses the player's binding table (calendo/client/imports.h), so the
// tool makes exactly the player's calls; the encoder's exports, which the
// player never calls, are bound here the same way. Both libraries are loaded
// with RTLD_LOCAL from the lib/ folder beside the program's bin/ folder:
// kestrune and tesmor export some of the same names, and each call must reach
// the library it names.
//
// Threads: one thread per process (the libraries hold one codec state each).
#pragma once

#include <cstdint>
#include <string>

#include "calendo/client/binding.h"
#include "calendo/client/imports.h"

namespace calendo::tool {

namespace encoder_imports {
using binding::Import;
inline constexpr Import<uint32_t(const char* wav_path)> wav_vqr_check{"kestrune",
                                                                      "_wav_vqr_check@4"};
inline constexpr Import<int16_t(const char* wav_path, const char* vqr_path, uint32_t size)>
    wav_vqr_mkheader{"kestrune", "_wav_vqr_mkheader@12"};
inline constexpr Import<int16_t(const char* wav_path, const char* vqr_path, uint32_t start_page,
                                uint32_t page_count)>
    wav_vqr_encoder{"kestrune", "_wav_vqr_encoder@16"};
inline constexpr Import<int32_t(const char* wav_path)> wav_samplef{"kestrune", "_wav_samplef@4"};
}  // namespace encoder_imports

// Points the binding at <folder of the running program>/../lib. Call once at
// start, before any library call.
void UseLibrariesBesideProgram();

// The folder the libraries are loaded from (for messages).
const std::string& LibraryFolder();

}  // namespace calendo::tool
