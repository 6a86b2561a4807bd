// The binding table: every function the programs call in the libraries, by
// library name, export name and C signature. Each entry is callable, and binds
// at its first call (binding.h): imports::WavStop(), imports::play_splpget(…).
//
// The player calls every entry but the encoder's, which serve calendo-convert's
// --encode alone, and no other export of the libraries. Every signature is
// checked at compile time against the library's own declaration (imports.cpp).
#pragma once

#include <cstdint>
#include <span>

#include "calendo/client/binding.h"
#include "kestrune.h"  // SplpInfo: the record is the library's, byte for byte
#include "tesmor.h"    // the values AdpcmDecx's target takes

struct MsgCtl;  // ravlet's receiving control, opaque to the player

namespace calendo::imports {

using binding::Import;

// ---- kestrune: recorder files ----------------------------------------------
inline constexpr Import<SplpInfo(const char* path, int16_t kind)> play_splpget{"kestrune",
                                                                               "_play_splpget@8"};
inline constexpr Import<int16_t(const char* path, uint8_t* table, uint32_t count, int16_t kind)>
    pb_splptblmk{"kestrune", "_pb_splptblmk@16"};
inline constexpr Import<int32_t(const uint8_t* table, uint32_t last_page, int32_t sp_ms,
                                int32_t lp_ms)>
    get_time{"kestrune", "_get_time@16"};
inline constexpr Import<int16_t(const char* path, int32_t page, uint8_t* buffer, int16_t kind)>
    play_1pagerd{"kestrune", "_play_1pagerd@16"};
inline constexpr Import<int32_t(int16_t code_bits, int16_t code_bytes, int16_t extra_bits,
                                const uint8_t* packed, uint8_t* codes)>
    pb_exdata{"kestrune", "_pb_exdata@20"};
inline constexpr Import<int16_t(const uint8_t* table, uint32_t* counts, uint32_t count)>
    splp_pageno{"kestrune", "_splp_pageno@12"};

// ---- kestrune: making vqr files (calendo-convert only) --------------------
inline constexpr Import<uint32_t(const char* wav_path)> wav_vqr_check{"kestrune",
                                                                      "_wav_vqr_check@4"};
inline constexpr Import<int16_t(const char* wav_path, const char* vqr_path, uint32_t size)>
    wav_vqr_mkheader{"kestrune", "_wav_vqr_mkheader@12"};
inline constexpr Import<int16_t(const char* wav_path, const char* vqr_path, uint32_t start_page,
                                uint32_t page_count)>
    wav_vqr_encoder{"kestrune", "_wav_vqr_encoder@16"};
inline constexpr Import<int32_t(const char* wav_path)> wav_samplef{"kestrune", "_wav_samplef@4"};

// ---- tesmor: decoding ------------------------------------------------------
inline constexpr int32_t kTarget8k = TESMOR_TARGET_8K;
inline constexpr int32_t kTargetReset = TESMOR_TARGET_RESET;
inline constexpr int32_t kTarget11k = TESMOR_TARGET_11K;
inline constexpr Import<int32_t(void** out, int32_t rate, uint8_t* header)> SoundSet11k16bit{
    "tesmor", "_SoundSet11k16bit@12"};
inline constexpr Import<int32_t(int32_t rate_code, int32_t code_bits, int32_t count, uint8_t* codes,
                                int16_t** out, int32_t reset)>
    pb_adpcm_dec{"tesmor", "_pb_adpcm_dec@24"};
inline constexpr Import<int32_t(const char* path, int32_t out_bits, int32_t sp_rate,
                                int32_t lp_rate, int32_t sp_code_bits, int32_t lp_code_bits,
                                int32_t sp_pages, int32_t lp_pages, uint8_t* header)>
    AdpcmDecHeader{"tesmor", "_AdpcmDecHeader@36"};
inline constexpr Import<int32_t(const char* path, uint8_t* codes, int32_t rate_code,
                                int32_t code_bits, int32_t count, int32_t out_bits, int32_t target)>
    AdpcmDecx{"tesmor", "_AdpcmDecx@28"};
inline constexpr Import<int32_t(const char* path, uint8_t* type_record)> GetWavType{
    "tesmor", "_GetWavType@8"};
inline constexpr Import<int32_t(const char* path, int32_t sample_kind, int32_t offset,
                                int32_t count, void** out)>
    PcmWavPlay{"tesmor", "_PcmWavPlay@20"};

// ---- sondrel: wave output --------------------------------------------------
inline constexpr Import<int32_t()> WavCreate{"sondrel", "WavCreate"};
inline constexpr Import<int32_t(void** block, uint32_t length)> WavAddPlayData{"sondrel",
                                                                               "WavAddPlayData"};
inline constexpr Import<int32_t(int32_t pause)> WavPause{"sondrel", "WavPause"};
inline constexpr Import<int32_t()> WavNowPlay{"sondrel", "WavNowPlay"};
inline constexpr Import<int32_t()> WavStop{"sondrel", "WavStop"};
inline constexpr Import<void()> WavDestroy{"sondrel", "WavDestroy"};

// ---- ravlet: hand-off to a running player ----------------------------------
inline constexpr Import<int32_t(uint32_t hwnd, const char* text, uint16_t count)> SendCopyData{
    "ravlet", "SendCopyData"};

// ---- ravlet: the MsgCtl control that receives hand-offs --------------------
inline constexpr Import<MsgCtl*(void (*on_copy_data)(void* user, int32_t first, const char* text),
                                void* user)>
    MsgCtlCreate{"ravlet", "MsgCtlCreate"};
inline constexpr Import<int32_t(MsgCtl* control, uint32_t hwnd)> MsgCtlAttach{"ravlet",
                                                                              "MsgCtlAttach"};
inline constexpr Import<void(MsgCtl* control)> MsgCtlDestroy{"ravlet", "MsgCtlDestroy"};

// Library and export name of every entry above: those the player calls, and
// the encoder's.
struct ImportName {
  std::string_view library;
  std::string_view export_name;
};
std::span<const ImportName> BindingTable();
std::span<const ImportName> EncoderTable();

}  // namespace calendo::imports
