// calendo-convert and the player's menu conversion write the same bytes: SP,
// LP and mixed vqr files and vqm files, at 8 and 16 bits; the player's even
// loudness is the gain calendo-convert --normalize gives the same file. The
// player runs here, headless, on the real libraries; the tool runs as its own
// process.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>
#include <QCoreApplication>

#include "calendo/loudness.h"
#include "conversion_fixture.h"
#include "handoff_processes.h"
#include "layout_recording.h"
#include "overview/overview_analysis.h"
#include "scripted_host.h"
#include "test_app.h"
#include "tone_recording.h"
#include "tool_support.h"
#include "window/form1.h"

namespace calendo {
namespace {

namespace fs = std::filesystem;

class PlayerIdentity : public ::testing::Test {
 protected:
  void SetUp() override {
    // A desktop of its own: a player started at the same time by another test
    // would otherwise hand this window its (empty) command line, as a second
    // start does, and the window would forget the file it converts.
    ASSERT_FALSE(testing::ScratchDesktopDirectory().empty());
    setenv("CALENDO_AUDIO", "null", 1);
    binding::SetLibraryDirectory(CALENDO_LIB_DIR);
    form_ = std::make_unique<Form1>(host_, pump_, "E");
    form_->Form_Load();
  }
  void TearDown() override {
    form_.reset();
    binding::SetLibraryDirectory({});
  }

  // The player's WAV file of `recording` at `bits`, through File > Save As.
  std::string PlayerWav(const fs::path& recording, int16_t kind, int bits) {
    const fs::path wav = dir_.file("player.wav");
    fs::remove(wav);
    testing::PutOpened(*form_, recording, kind);
    host_.save_answers.push_back(QString::fromStdString(wav.string()));
    (bits == 8 ? form_->Trans_wav8bit : form_->Trans_wav16bit)->trigger();
    for (const auto& box : host_.boxes) ADD_FAILURE() << "message box: " << box.text.toStdString();
    host_.boxes.clear();
    return tooltest::ReadFile(wav);
  }

  std::string ToolWav(const fs::path& recording, int bits) {
    const fs::path folder = dir_.file("tool");
    const tooltest::ToolRun run =
        tooltest::RunConvert({"-q", "--force", "--bits", std::to_string(bits), "-o",
                              folder.string(), recording.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    return tooltest::ReadFile(folder / (recording.stem().string() + ".wav"));
  }

  QApplication& app_ = testing::TestApplication();  // before anything of Qt
  testing::ScriptedHost host_;
  EventPump pump_;
  std::unique_ptr<Form1> form_;
  testkit::TempDir dir_;
};

TEST_F(PlayerIdentity, ToolAndPlayerWriteTheSameWavFiles) {
  struct Case {
    const char* name;
    std::string modes;
    bool vqm;
  };
  const std::vector<Case> cases = {{"sp.vqr", "SSSSSS", false},
                                   {"lp.vqr", "LLLLL", false},
                                   {"mixed.vqr", "SLLSSLS", false},
                                   {"sp.vqm", "SSSSS", true},
                                   {"lp.vqm", "LLLL", true}};
  uint32_t seed = 100;
  for (const Case& c : cases) {
    const tooltest::TestRecording recording = tooltest::MakeCodes(c.modes, seed++, c.vqm);
    const fs::path path = dir_.file(c.name);
    c.vqm ? tooltest::WriteVqm(path, recording) : tooltest::WriteVqr(path, recording);
    for (const int bits : {8, 16}) {
      SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(bits) + " bits");
      const std::string player = PlayerWav(path, c.vqm ? 1 : 0, bits);
      const std::string tool = ToolWav(path, bits);
      ASSERT_GT(player.size(), 44u);
      EXPECT_EQ(player.size(), tool.size());
      EXPECT_TRUE(player == tool);
    }
  }
}

// The 16-bit samples of a WAV file, however its header is laid out.
std::vector<int16_t> WavSamples(const fs::path& wav) {
  SF_INFO info{};
  SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    ADD_FAILURE() << "cannot read " << wav;
    return {};
  }
  std::vector<int16_t> samples(static_cast<std::size_t>(info.frames));
  samples.resize(static_cast<std::size_t>(
      sf_read_short(file, samples.data(), static_cast<sf_count_t>(samples.size()))));
  sf_close(file);
  return samples;
}

// Loudness > Even against --normalize: the tool's normalised samples are its
// plain ones at the very gain the player's overview pass measured.
TEST_F(PlayerIdentity, EvenLoudnessIsTheGainOfNormalize) {
  struct Case {
    const char* name;
    std::vector<int16_t> samples;  // none: codes of the `modes` pages
    std::string modes;
    std::optional<bool> limited;  // none: either
  };
  // Quiet speech with a short loud click now and then: the click's peak holds
  // the gain.
  std::vector<int16_t> bursts = testing::Sine(440, 11025, 11025 * 3, 600);
  const std::vector<int16_t> click = testing::Sine(1000, 11025, 100, 30000);
  for (std::size_t at = 11025 / 2; at + click.size() < bursts.size(); at += 11025 * 3 / 2) {
    std::copy(click.begin(), click.end(), bursts.begin() + static_cast<std::ptrdiff_t>(at));
  }
  const std::vector<Case> cases = {
      {"quiet.vqr", testing::Sine(440, 11025, 11025 * 3, 1500), "", false},
      {"bursts.vqr", bursts, "", true},
      {"mixed.vqr", {}, "SLLSSLS", std::nullopt},
      {"silent.vqr", std::vector<int16_t>(11025 * 2, 0), "", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir_.file(c.name);
    if (c.modes.empty()) {
      testing::WriteSamplesVqr(path, c.samples);
    } else {
      tooltest::WriteVqr(path, tooltest::MakeCodes(c.modes, 7));
    }
    OverviewAnalysis analysis;
    analysis.SetLoudnessWanted(true);
    analysis.Start(QString::fromStdString(path.string()));
    for (int i = 0; i < 1000 && !analysis.LoudnessMeasured(); ++i) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(analysis.LoudnessMeasured());
    const Gain even = analysis.EvenGain();
    if (c.limited) {
      EXPECT_EQ(even.peak_limited, *c.limited) << "gain " << even.factor;
    }

    const fs::path plain = dir_.file("plain");
    const fs::path normalized = dir_.file("normalized");
    for (const auto& [folder, extra] :
         {std::pair{plain, std::vector<std::string>{}},
          std::pair{normalized, std::vector<std::string>{"--normalize"}}}) {
      std::vector<std::string> arguments{"-q", "--force", "--bits", "16", "-o", folder.string()};
      arguments.insert(arguments.end(), extra.begin(), extra.end());
      arguments.push_back(path.string());
      const tooltest::ToolRun run = tooltest::RunConvert(arguments);
      ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::string wav = path.stem().string() + ".wav";
    std::vector<int16_t> expected = WavSamples(plain / wav);
    ASSERT_FALSE(expected.empty());
    if (even.measurable) ApplyGain(expected, even.factor);
    EXPECT_NE(even.measurable, std::string(c.name) == "silent.vqr");
    EXPECT_TRUE(WavSamples(normalized / wav) == expected);
  }
}

uint32_t Le32At(const std::string& bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return uint32_t{static_cast<uint8_t>(bytes[at + i])}; };
  return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Pages of another code count than the standard layout: the header the
// conversion writes first counts 1360 samples an SP page, the 4-bit pages
// give 1020. Both programs end with a header that tells what the file holds.
TEST_F(PlayerIdentity, FourBitSpPages_BothEndWithTheLengthsWritten) {
  const fs::path path = dir_.file("four-bit.vqr");
  testing::WriteLayoutVqr(path, testing::kFourBitSp, 7 * 1020 + 100);  // 8 pages
  for (const int bits : {8, 16}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    const std::string player = PlayerWav(path, 0, bits);
    const std::string tool = ToolWav(path, bits);
    const uint32_t data = 8u * 1020u * static_cast<uint32_t>(bits / 8);
    ASSERT_EQ(player.size(), 44u + data);
    EXPECT_EQ(Le32At(player, 4), data + 36u);
    EXPECT_EQ(Le32At(player, 40), data);
    EXPECT_TRUE(player == tool);
  }
}

}  // namespace
}  // namespace calendo
