// The message table's two columns and the time texts.
#include <gtest/gtest.h>

#include "window/msg_text.h"
#include "window/time_text.h"

namespace calendo {
namespace {

TEST(MsgText_Fill, JapaneseColumnFillsEntriesZeroToSixteen) {
  MsgTable table;
  FillMsgText(table, "J");
  EXPECT_EQ(table[kMsgExit], QStringLiteral("終了"));
  EXPECT_EQ(table[kMsgCannotOpen], QStringLiteral("ファイルを開けません。"));
  EXPECT_EQ(table[kMsgWrongFormat], QStringLiteral("ファイル形式が違います。"));
  EXPECT_EQ(table[kMsgTitle], QStringLiteral("Calendo"));
  EXPECT_EQ(table[kMsgNotPcmWave],
            QStringLiteral("PCM 11kHzまたは8kHz MONOのWaveサウンドではありません。"));
  EXPECT_EQ(table[kMsgMenuSave16bit], QStringLiteral("16bit wave fileに変換して保存"));
  EXPECT_EQ(table[kMsgShortOfCapacity], QStringLiteral("容量不足です。"));
  EXPECT_EQ(table[kMsgCannotPlaySound], QStringLiteral("サウンドを再生できません。"));
  for (int i = 0; i < kMsgTextFilled; ++i) EXPECT_FALSE(table[i].isEmpty()) << i;
  for (int i = kMsgTextFilled; i < kMsgTextEntries; ++i) EXPECT_TRUE(table[i].isEmpty()) << i;
}

TEST(MsgText_Fill, AnyCodeButJSelectsEnglishWithItsTrailingSpaces) {
  for (const char* code : {"E", "j", ""}) {
    MsgTable table;
    FillMsgText(table, code);
    EXPECT_EQ(table[kMsgExit], QStringLiteral("Exit")) << code;
    EXPECT_EQ(table[kMsgTitle], QStringLiteral("Calendo"));
    EXPECT_EQ(table[kMsgReplace], QStringLiteral("Replace existing file?"));
    EXPECT_EQ(table[kMsgMenuConvert], QStringLiteral("Convert to wave "));
    EXPECT_EQ(table[kMsgMenuSave8bit], QStringLiteral("Save As 8bit wave "));
    EXPECT_EQ(table[kMsgMenuSave16bit], QStringLiteral("Save As 16bit wave "));
    EXPECT_EQ(table[kMsgShortOfCapacity], QStringLiteral("Short of capacity "));
    EXPECT_EQ(table[kMsgSelectFile], QStringLiteral("Select file!"));
    EXPECT_EQ(table[kMsgCannotPlaySound], QStringLiteral("Can't play sound"));
    // The wrong-format and not-a-wave messages read as the cannot-open one.
    EXPECT_EQ(table[kMsgWrongFormat], table[kMsgCannotOpen]);
    EXPECT_EQ(table[kMsgNotPcmWave], QStringLiteral("Can't open file"));
  }
}

TEST(MsgText_Fill, LeavesEntriesSeventeenToTwentyAlone) {
  MsgTable table;
  table[17] = QStringLiteral("kept");
  FillMsgText(table, "E");
  EXPECT_EQ(table[17], QStringLiteral("kept"));
}

TEST(StrFormatLong_Digits, KeepsTheLastWidthDigitsWithLeadingZeros) {
  EXPECT_EQ(strFormatLong(7, 2), QStringLiteral("07"));
  EXPECT_EQ(strFormatLong(123, 2), QStringLiteral("23"));
  EXPECT_EQ(strFormatLong(0, 3), QStringLiteral("000"));
  EXPECT_EQ(strFormatLong(2147483647, 12), QStringLiteral("002147483647"));
  EXPECT_EQ(strFormatLong(5, 0), QString());
}

TEST(StrFormatTime_Text, HoursMinutesSecondsAroundTheHour) {
  EXPECT_EQ(strFormatTime(0), QStringLiteral("00 : 00 : 00"));
  EXPECT_EQ(strFormatTime(83'000), QStringLiteral("00 : 01 : 23"));
  EXPECT_EQ(strFormatTime(3'599'999), QStringLiteral("00 : 59 : 59"));
  EXPECT_EQ(strFormatTime(3'600'000), QStringLiteral("01 : 00 : 00"));
}

TEST(StrFormatTime_Text, HoursAbove99KeepTheirLastTwoDigits) {
  EXPECT_EQ(strFormatTime(100 * 3'600'000), QStringLiteral("00 : 00 : 00"));
  EXPECT_EQ(strFormatTime(123 * 3'600'000 + 61'000), QStringLiteral("23 : 01 : 01"));
  EXPECT_EQ(strFormatTime(2'147'483'647), QStringLiteral("96 : 31 : 23"));
}

}  // namespace
}  // namespace calendo
