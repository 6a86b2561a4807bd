// The conversion of a recorder file to a WAV file: the sequence of library
// calls that the player's conversion, calendo-convert and the benchmark make.
//
// Calls, in this order: AdpcmDecHeader (creates the file with its header,
// sized by the SP and LP page counts), AdpcmDecx with the reset target, then
// per page play_1pagerd, pb_exdata with the page's mode, and AdpcmDecx, whose
// target is 11025 Hz when the file holds both modes and each mode's own rate
// otherwise. When the last page is appended, the header's RIFF and data
// lengths are set to what the file holds: pages of another code count than
// the standard layout give fewer samples than the header call counts for
// them. Files of the standard layout are not touched again.
//
// The caller reads the file's record and page counts first (play_splpget,
// pb_splptblmk, splp_pageno) and drives the sequence through ConversionSteps:
// how each library call runs, whether the data fits, and a checkpoint before
// each page where it may show progress or stop; calendo-convert appends all
// pages at once where it can (AppendAllPages), the player page by page.
//
// Threads: the decode-to-file exports share one codec state, so one
// conversion at a time per process.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "calendo/fault.h"
#include "kestrune.h"
#include "tesmor.h"

namespace calendo::client {

// Sample format of the WAV file (AdpcmDecHeader's and AdpcmDecx's out_bits).
inline constexpr int16_t kWav8Bit = 1;
inline constexpr int16_t kWav16Bit = 2;

// A recorder file as the conversion reads it.
struct RecordingToConvert {
  const char* path = nullptr;
  int16_t kind = KESTRUNE_VQR;
  SplpInfo splp{};    // page_field holds the SP and LP page counts
  int32_t pages = 0;  // pages to convert, from page 0
};

enum class ConversionEnd {
  kDone,            // every page appended; the header tells the file's length
  kCannotCreate,    // AdpcmDecHeader: the WAV file cannot be created
  kRefused,         // AdpcmDecHeader: any other refusal (nothing written)
  kNoRoom,          // HasRoomFor said no; the header stays on disk
  kStopped,         // BeforePage said stop
  kPageUnreadable,  // play_1pagerd read neither an SP nor an LP page
  kCannotAppend,    // AdpcmDecx could not append the page's samples
};

struct ConversionOutcome {
  ConversionEnd end = ConversionEnd::kCannotCreate;
  int32_t page = 0;              // the page being converted when it ended
  int32_t announced_bytes = -1;  // AdpcmDecHeader's result
  uint32_t data_bytes = 0;       // sample bytes in the file when done
  uint32_t sample_rate = 0;      // from the header written
  // The header copy AdpcmDecHeader made, its lengths set to the file's.
  std::array<uint8_t, TESMOR_HEADER_COPY_BUFFER> header{};
};

// What a caller of ConvertToWav decides. Every hook has a default that does
// what calendo-convert needs.
class ConversionSteps {
 public:
  // Runs one library call. The player runs it with run-time errors ignored;
  // the variable it assigns then keeps the value it had (a failure).
  virtual void Call(const std::function<void()>& call) { call(); }
  // After the header is written: whether `data_bytes` fit where the file goes.
  virtual bool HasRoomFor(int32_t /*data_bytes*/) { return true; }
  // Before page `page` is read; false ends the conversion there.
  virtual bool BeforePage(int32_t /*page*/) { return true; }
  // After page `page`'s samples were appended.
  virtual void AfterPage(int32_t /*page*/) {}

  // After the header and the reset, before the first page: may append the
  // samples of every page at once, the very bytes the page calls would
  // append, and say how that ended (`page` where it failed).
  enum class AllPages { kDeclined, kAppended, kUnreadable, kCannotAppend };
  virtual AllPages AppendAllPages(const char* /*wav_path*/, int16_t /*format*/, int32_t& /*page*/) {
    return AllPages::kDeclined;
  }

 protected:
  ~ConversionSteps() = default;
};

// Converts `recording` to the WAV file `wav_path` in `format` (kWav8Bit or
// kWav16Bit). May raise RuntimeError from a library binding that fails,
// unless steps.Call catches it.
ConversionOutcome ConvertToWav(const RecordingToConvert& recording, const char* wav_path,
                               int16_t format, ConversionSteps& steps);

// The target AdpcmDecx takes for the pages of a file with these page counts.
int32_t ConversionTarget(uint32_t sp_pages, uint32_t lp_pages);

// Sets the RIFF length (offset 4) and data length (offset 40) of the WAV file
// at `wav_path` to what it holds, where they differ, and returns the data
// length; a Fault when the file cannot be read or rewritten or is shorter
// than a header.
Result<uint32_t> CorrectWavLengths(const char* wav_path);

}  // namespace calendo::client
