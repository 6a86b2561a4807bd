// The foot pedal without a device: what its reports say, how the settings
// name it, and which transport command each change of pedals asks for.
#include <gtest/gtest.h>

#include <vector>

#include "pedal/pedal_report.h"
#include "pedal/pedal_transport.h"

namespace calendo {
namespace {

TEST(PedalReport, FirstByteHoldsThePedalsAndOtherLengthsAreRefused) {
  const uint8_t one[] = {kPedalMiddle};
  EXPECT_EQ(DecodePedalReport(one, 1), kPedalMiddle);
  const uint8_t two[] = {kPedalLeft | kPedalRight, 0x7f};
  EXPECT_EQ(DecodePedalReport(two, 2), kPedalLeft | kPedalRight);
  // Padding bits are no pedals.
  const uint8_t padded[] = {0xf8 | kPedalRight};
  EXPECT_EQ(DecodePedalReport(padded, 1), kPedalRight);

  const uint8_t long_report[kPedalReportMaxSize + 1] = {kPedalMiddle};
  EXPECT_EQ(DecodePedalReport(long_report, kPedalReportMaxSize), kPedalMiddle);
  EXPECT_EQ(DecodePedalReport(long_report, kPedalReportMaxSize + 1), std::nullopt);
  EXPECT_EQ(DecodePedalReport(one, 0), std::nullopt);
  EXPECT_EQ(DecodePedalReport(nullptr, 1), std::nullopt);
}

TEST(PedalIds, HexVendorAndProductOrNothing) {
  EXPECT_EQ(ParsePedalIds(QStringLiteral("05f3:00ff")), (PedalIds{0x05f3, 0x00ff}));
  EXPECT_EQ(ParsePedalIds(QStringLiteral(" 5F3:ff ")), (PedalIds{0x05f3, 0x00ff}));
  for (const char* bad : {"", "05f3", "05f3:", ":00ff", "05f3:00ff:1", "0x5f3:ff", "105f3:00ff",
                          "05g3:00ff", "-5f3:ff", "05f3 00ff"}) {
    EXPECT_EQ(ParsePedalIds(QString::fromLatin1(bad)), std::nullopt) << bad;
  }
}

// The commands a run of reports asks for, one entry per report (nothing
// where the report asks for none).
std::vector<std::optional<PedalCommand>> Commands(const std::vector<uint8_t>& reports) {
  PedalTransport transport;
  std::vector<std::optional<PedalCommand>> commands;
  for (const uint8_t held : reports) commands.push_back(transport.Take(held));
  return commands;
}

using Cmd = PedalCommand;
constexpr std::nullopt_t kNone = std::nullopt;
constexpr uint8_t L = kPedalLeft;
constexpr uint8_t M = kPedalMiddle;
constexpr uint8_t R = kPedalRight;

TEST(PedalTransport, EachPedalActsWhileHeldAndReleasePauses) {
  EXPECT_EQ(Commands({0, M, M, 0, 0}),
            (std::vector<std::optional<Cmd>>{kNone, Cmd::play, kNone, Cmd::pause, kNone}));
  EXPECT_EQ(Commands({L, 0, R, 0}),
            (std::vector<std::optional<Cmd>>{Cmd::review, Cmd::pause, Cmd::cue, Cmd::pause}));
  // Padding bits change nothing.
  EXPECT_EQ(Commands({M, M | 0x80, 0x80}),
            (std::vector<std::optional<Cmd>>{Cmd::play, kNone, Cmd::pause}));
}

TEST(PedalTransport, ThePedalPressedLastLeadsAndTheOneBeforeTakesOverOnRelease) {
  // Playing, a tap of the right pedal cues and then plays on.
  EXPECT_EQ(Commands({M, M | R, M, 0}),
            (std::vector<std::optional<Cmd>>{Cmd::play, Cmd::cue, Cmd::play, Cmd::pause}));
  // Cueing, the middle pedal plays; let go, the cue goes on.
  EXPECT_EQ(Commands({R, R | M, R, 0}),
            (std::vector<std::optional<Cmd>>{Cmd::cue, Cmd::play, Cmd::cue, Cmd::pause}));
  // Three pedals, let go in another order than pressed.
  EXPECT_EQ(Commands({L, L | M, L | M | R, L | R, R, 0}),
            (std::vector<std::optional<Cmd>>{Cmd::review, Cmd::play, Cmd::cue, kNone, kNone,
                                             Cmd::pause}));
  // Let go of the leading pedal while pressing another in one report.
  EXPECT_EQ(Commands({M, L}), (std::vector<std::optional<Cmd>>{Cmd::play, Cmd::review}));
  // Two pressed in one report: the order is left, middle, right.
  EXPECT_EQ(Commands({L | R, L}), (std::vector<std::optional<Cmd>>{Cmd::cue, Cmd::review}));
}

}  // namespace
}  // namespace calendo
