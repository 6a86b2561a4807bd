// The player's user texts: the message table MsgText and its two columns.
//
// Which column a build shows is fixed when it is built (CMake's CALENDO_LANG:
// "J" Japanese, as delivered, or "E" English); nothing at run time changes it.
// Both columns are compiled into every build.
#pragma once

#include <array>
#include <string_view>

#include <QString>

#ifndef CALENDO_LANG_CODE
#define CALENDO_LANG_CODE "J"
#endif

namespace calendo {

// The build's language: "J" selects the Japanese column, anything else English.
inline constexpr std::string_view LangCode = CALENDO_LANG_CODE;

// MsgText has 21 entries; start-up fills 0 to 16, 17 to 20 stay empty.
inline constexpr int kMsgTextEntries = 21;
inline constexpr int kMsgTextFilled = 17;
using MsgTable = std::array<QString, kMsgTextEntries>;

// Entries that other procedures show by number.
enum MsgIndex : int {
  kMsgExit = 0,
  kMsgCancel = 1,
  kMsgCannotOpen = 2,
  kMsgWrongFormat = 3,
  kMsgTitle = 4,
  kMsgReplace = 5,
  kMsgNotPcmWave = 6,
  kMsgMenuFile = 7,
  kMsgMenuOpen = 8,
  kMsgMenuConvert = 9,
  kMsgMenuSave8bit = 10,
  kMsgMenuSave16bit = 11,
  kMsgSelectFile = 12,
  kMsgOperation = 13,
  kMsgRunningAlready = 14,
  kMsgShortOfCapacity = 15,
  kMsgCannotPlaySound = 16,
};

// The two columns, UTF-8.
extern const std::array<const char*, kMsgTextFilled> kMsgTextJapanese;
extern const std::array<const char*, kMsgTextFilled> kMsgTextEnglish;

// Fills entries 0 to 15 of `table` from the column `lang_code` selects.
void FillMsgText(MsgTable& table, std::string_view lang_code);

}  // namespace calendo
