// calendo-convert and the player's menu conversion write the same bytes: SP,
// LP and mixed vqr files and vqm files, at 8 and 16 bits. The player runs
// here, headless, on the real libraries; the tool runs as its own process.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion_fixture.h"
#include "handoff_processes.h"
#include "layout_recording.h"
#include "scripted_host.h"
#include "test_app.h"
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
