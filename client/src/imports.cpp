#include "calendo/client/imports.h"

#include <type_traits>

// The libraries' own declarations, which the binding table must agree with.
#include "kestrune.h"
#include "ravlet.h"
#include "sondrel.h"
#include "tesmor.h"

namespace calendo::imports {
namespace {

template <const auto& entry, typename Declared>
constexpr bool kSignatureMatches =
    std::is_same_v<typename std::remove_cvref_t<decltype(entry)>::Signature, Declared>;

#define CALENDO_CHECK_IMPORT(name)                         \
  static_assert(kSignatureMatches<name, decltype(::name)>, \
                "binding table signature of " #name " differs from its library's header")

CALENDO_CHECK_IMPORT(play_splpget);
CALENDO_CHECK_IMPORT(pb_splptblmk);
CALENDO_CHECK_IMPORT(get_time);
CALENDO_CHECK_IMPORT(play_1pagerd);
CALENDO_CHECK_IMPORT(pb_exdata);
CALENDO_CHECK_IMPORT(splp_pageno);
CALENDO_CHECK_IMPORT(wav_vqr_check);
CALENDO_CHECK_IMPORT(wav_vqr_mkheader);
CALENDO_CHECK_IMPORT(wav_vqr_encoder);
CALENDO_CHECK_IMPORT(wav_samplef);
CALENDO_CHECK_IMPORT(SoundSet11k16bit);
CALENDO_CHECK_IMPORT(pb_adpcm_dec);
CALENDO_CHECK_IMPORT(AdpcmDecHeader);
CALENDO_CHECK_IMPORT(AdpcmDecx);
CALENDO_CHECK_IMPORT(GetWavType);
CALENDO_CHECK_IMPORT(PcmWavPlay);
CALENDO_CHECK_IMPORT(WavCreate);
CALENDO_CHECK_IMPORT(WavAddPlayData);
CALENDO_CHECK_IMPORT(WavPause);
CALENDO_CHECK_IMPORT(WavNowPlay);
CALENDO_CHECK_IMPORT(WavStop);
CALENDO_CHECK_IMPORT(WavDestroy);
CALENDO_CHECK_IMPORT(SendCopyData);
CALENDO_CHECK_IMPORT(MsgCtlCreate);
CALENDO_CHECK_IMPORT(MsgCtlAttach);
CALENDO_CHECK_IMPORT(MsgCtlDestroy);

#undef CALENDO_CHECK_IMPORT

template <typename Entry>
constexpr ImportName NameOf(const Entry& entry) {
  return {entry.library(), entry.export_name()};
}

constexpr ImportName kTable[] = {
    NameOf(play_splpget),   NameOf(pb_splptblmk),   NameOf(get_time),         NameOf(play_1pagerd),
    NameOf(pb_exdata),      NameOf(splp_pageno),    NameOf(SoundSet11k16bit), NameOf(pb_adpcm_dec),
    NameOf(AdpcmDecHeader), NameOf(AdpcmDecx),      NameOf(GetWavType),       NameOf(PcmWavPlay),
    NameOf(WavCreate),      NameOf(WavAddPlayData), NameOf(WavPause),         NameOf(WavNowPlay),
    NameOf(WavStop),        NameOf(WavDestroy),     NameOf(SendCopyData),     NameOf(MsgCtlCreate),
    NameOf(MsgCtlAttach),   NameOf(MsgCtlDestroy),
};

constexpr ImportName kEncoderTable[] = {
    NameOf(wav_vqr_check),
    NameOf(wav_vqr_mkheader),
    NameOf(wav_vqr_encoder),
    NameOf(wav_samplef),
};

}  // namespace

std::span<const ImportName> BindingTable() {
  return kTable;
}

std::span<const ImportName> EncoderTable() {
  return kEncoderTable;
}

}  // namespace calendo::imports
