// Typed times and copied stamps: what is read as a time, what is refused,
// and that every stamp the window copies reads back as the time it names.
#include <gtest/gtest.h>

#include "window/time_stamp.h"

namespace calendo {
namespace {

TEST(TypedTime, ReadsSecondsMinutesHoursTenthsAndStamps) {
  const struct {
    const char* text;
    int64_t ms;
  } cases[] = {
      {"3723", 3723000},         {"62:03", 3723000},
      {"1:02:03", 3723000},      {"1:02:03.5", 3723500},
      {"1:02:03.25", 3723250},   {"0:00:00.125", 125},
      {"[01:02:03]", 3723000},   {" [01:02:03.5] ", 3723500},
      {"01 : 02 : 03", 3723000}, {"0", 0},
      {"100:00:00", 360000000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseTypedTime(QString::fromUtf8(c.text)), std::optional<int64_t>(c.ms)) << c.text;
  }
}

TEST(TypedTime, RefusesWhatIsNoTime) {
  for (const char* text :
       {"",    " ",         "[]",  "abc",        "1:60",  "1:02:60",      "1:2:3:4",
        ":30", "30:",       "-5",  "1:-2",       "1.2.3", "1:02:03.5000", "1,5",
        "7.",  "[01:02:03", "1e3", "9999999999", "12:ab", "１２"}) {
    EXPECT_EQ(ParseTypedTime(QString::fromUtf8(text)), std::nullopt) << text;
  }
}

TEST(TimeStamp, FormsCutDownToWhatWasHeard) {
  EXPECT_EQ(StampText(StampForm::seconds, 3723999, {}), QStringLiteral("[01:02:03]"));
  EXPECT_EQ(StampText(StampForm::tenths, 3723999, {}), QStringLiteral("[01:02:03.9]"));
  EXPECT_EQ(StampText(StampForm::tenths, 0, {}), QStringLiteral("[00:00:00.0]"));
  EXPECT_EQ(StampText(StampForm::seconds, 360000000, {}), QStringLiteral("[100:00:00]"));
  EXPECT_EQ(StampText(StampForm::seconds, -5, {}), QStringLiteral("[00:00:00]"));
  const QDateTime recorded(QDate(2024, 12, 31), QTime(23, 59, 30));
  EXPECT_EQ(StampText(StampForm::wall_clock, 45600, recorded),
            QStringLiteral("[2025-01-01 00:00:15]"));
}

TEST(TimeStamp, EveryStampReadsBack) {
  const QDateTime recorded(QDate(2023, 3, 4), QTime(5, 6, 7));
  for (const int64_t ms : {int64_t{0}, int64_t{999}, int64_t{61100}, int64_t{3723500},
                           int64_t{86399900}, int64_t{360000000}}) {
    EXPECT_EQ(ParseTypedTime(StampText(StampForm::seconds, ms, {})), ms / 1000 * 1000) << ms;
    EXPECT_EQ(ParseTypedTime(StampText(StampForm::tenths, ms, {})), ms / 100 * 100) << ms;
    const std::optional<QDateTime> wall =
        ParseWallClockStamp(StampText(StampForm::wall_clock, ms, recorded));
    ASSERT_TRUE(wall.has_value()) << ms;
    EXPECT_EQ(recorded.msecsTo(*wall), ms / 1000 * 1000) << ms;
  }
  EXPECT_EQ(ParseWallClockStamp(QStringLiteral("[01:02:03]")), std::nullopt);
  EXPECT_EQ(ParseWallClockStamp(QStringLiteral("[2023-02-30 00:00:00]")), std::nullopt);
}

}  // namespace
}  // namespace calendo
