#include "imports.h"

#include <type_traits>

// Where a library's public header is part of the build, its declarations must
// agree with the signatures the player binds.
#if __has_include("tesmor.h")
#include "tesmor.h"
#define CALENDO_HAVE_TESMOR_H 1
#endif
#if __has_include("sondrel.h")
#include "sondrel.h"
#define CALENDO_HAVE_SONDREL_H 1
#endif
#if __has_include("ravlet.h")
#include "ravlet.h"
#define CALENDO_HAVE_RAVLET_H 1
#endif

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
#ifdef CALENDO_HAVE_TESMOR_H
CALENDO_CHECK_IMPORT(SoundSet11k16bit);
CALENDO_CHECK_IMPORT(pb_adpcm_dec);
CALENDO_CHECK_IMPORT(AdpcmDecHeader);
CALENDO_CHECK_IMPORT(AdpcmDecx);
CALENDO_CHECK_IMPORT(GetWavType);
CALENDO_CHECK_IMPORT(PcmWavPlay);
#endif
#ifdef CALENDO_HAVE_SONDREL_H
CALENDO_CHECK_IMPORT(WavCreate);
CALENDO_CHECK_IMPORT(WavAddPlayData);
CALENDO_CHECK_IMPORT(WavPause);
CALENDO_CHECK_IMPORT(WavNowPlay);
CALENDO_CHECK_IMPORT(WavStop);
CALENDO_CHECK_IMPORT(WavDestroy);
#endif
#ifdef CALENDO_HAVE_RAVLET_H
CALENDO_CHECK_IMPORT(SendCopyData);
CALENDO_CHECK_IMPORT(MsgCtlCreate);
CALENDO_CHECK_IMPORT(MsgCtlAttach);
CALENDO_CHECK_IMPORT(MsgCtlDestroy);
#endif

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

}  // namespace

std::span<const ImportName> BindingTable() {
  return kTable;
}

}  // namespace calendo::imports
