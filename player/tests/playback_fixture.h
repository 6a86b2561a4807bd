// A window on the real libraries for the playback tests: recorder files made
// on the spot, the capture device at full speed, and what the decoder makes of
// a sequence of pages to compare the captured sound with.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QTimer>

#include "platform/memory.h"
#include "scripted_host.h"
#include "test_app.h"
#include "testing/recorder_writer.h"
#include "window/form1.h"
#include "window/time_text.h"

namespace calendo::testing {

// The stream-start block carries 9956 bytes of silence after its header.
inline constexpr std::size_t kStreamStartSamples = (10000 - 44) / 2;

struct Capture {
  uint32_t rate = 0;
  std::vector<int16_t> samples;
};

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    binding::SetLibraryDirectory(CALENDO_LIB_DIR);
    setenv("CALENDO_AUDIO_SPEED", "0", 1);
    CaptureTo("heard.wav");
    form_ = std::make_unique<Form1>(host_, pump_, "E");
    form_->Form_Load();
  }

  void TearDown() override {
    if (form_) {
      imports::WavStop();
      imports::WavDestroy();
      form_->Wait(0.05f);
    }
    form_.reset();
    binding::SetLibraryDirectory({});
    unsetenv("CALENDO_AUDIO");
    unsetenv("CALENDO_AUDIO_SPEED");
  }

  Form1& form() { return *form_; }

  // The capture device of the next stream writes to `name` in the test folder.
  std::string CaptureTo(const std::string& name) {
    const std::string path = dir_.file(name).string();
    setenv("CALENDO_AUDIO", ("capture:" + path).c_str(), 1);
    return path;
  }

  // A vqr file of `pages` pages, SP and LP pages as `lp` says, random codes.
  std::string WriteVqr(const std::string& name, int pages, std::function<bool(int)> lp = {}) {
    testkit::VqrFile file;
    std::mt19937 random(static_cast<unsigned>(pages * 7919 + static_cast<int>(name.size())));
    for (int p = 0; p < pages; ++p) {
      const bool long_play = lp && lp(p);
      std::vector<uint8_t> codes(long_play ? 2046 : 1360);
      for (uint8_t& code : codes) code = static_cast<uint8_t>(random() & (long_play ? 3 : 7));
      file.pages.push_back(long_play ? testkit::vqr_lp_page(codes) : testkit::vqr_sp_page(codes));
    }
    const std::string path = dir_.file(name).string();
    file.write(path);
    return path;
  }

  // A vqm file of `pages` pages of random bytes, SP (mode 5) or LP.
  std::string WriteVqm(const std::string& name, int pages, bool long_play) {
    testkit::VqmFile file;
    file.mode = long_play ? 2 : 5;
    std::mt19937 random(static_cast<unsigned>(pages));
    file.audio.resize(static_cast<std::size_t>(pages) * testkit::kVqmPageSize);
    for (uint8_t& byte : file.audio) byte = static_cast<uint8_t>(random());
    const std::string path = dir_.file(name).string();
    file.write(path);
    return path;
  }

  // File > Open with `path` chosen in the dialog.
  void Open(const std::string& path) {
    host_.open_answers.push_back(QString::fromStdString(path));
    form().RunHandler([&] { form().M_fileopen_Click(); });
  }

  // The decoder's state starts afresh; the player never resets it, so tests
  // reset it before they decode what they expect and before the playback.
  static void ResetDecoder() {
    uint8_t codes[4] = {};
    int16_t* samples = nullptr;
    imports::pb_adpcm_dec(11, 3, 0, codes, &samples, 1);
  }

  // What a stream playing `pages` of `path` from a reset decoder sounds like:
  // the stream-start silence, then every page's samples.
  static std::vector<int16_t> Heard(const std::string& path, int16_t kind,
                                    const std::vector<int32_t>& pages) {
    ResetDecoder();
    const SplpInfo info = imports::play_splpget(path.c_str(), kind);
    std::vector<int16_t> heard(kStreamStartSamples, 0);
    for (const int32_t p : pages) {
      uint8_t page[528] = {};
      uint8_t codes[2048] = {};
      const int m = imports::play_1pagerd(path.c_str(), p, page, kind) == 5 ? 1 : 0;
      const int32_t n =
          imports::pb_exdata(info.code_bits[m], static_cast<int16_t>(info.code_bytes[m]),
                             static_cast<int16_t>(info.extra_bits[m]), page, codes);
      int16_t* samples = nullptr;
      const int32_t count =
          imports::pb_adpcm_dec(info.rate_code[m], info.code_bits[m], n, codes, &samples, 0);
      heard.insert(heard.end(), samples, samples + count);
      platform::block_free(samples);
    }
    ResetDecoder();
    return heard;
  }

  static std::vector<int32_t> Pages(int32_t from, int32_t to) {
    std::vector<int32_t> pages;
    for (int32_t p = from; from <= to ? p <= to : p >= to; p += from <= to ? 1 : -1) {
      pages.push_back(p);
    }
    return pages;
  }

  // The capture at `path` once its device has closed.
  Capture ReadCapture(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((!std::filesystem::exists(path) || std::filesystem::exists(path + ".part")) &&
           std::chrono::steady_clock::now() < deadline) {
      pump_.ProcessEventsOrWait();
    }
    Capture capture;
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    if (bytes.size() < 44) return capture;
    auto u8 = [&](std::size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
    capture.rate = u8(24) | u8(25) << 8 | u8(26) << 16 | u8(27) << 24;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2) {
      capture.samples.push_back(static_cast<int16_t>(u8(i) | u8(i + 1) << 8));
    }
    return capture;
  }

  // A playback (a cue with `cue`) from the first page with the decoder
  // reset, captured to `name`, as heard.
  Capture PlayFromStart(const std::string& name, bool cue = false) {
    const std::string capture = CaptureTo(name);
    form().PlaySlider->setValue(0);
    ResetDecoder();
    (cue ? form().CueX : form().PlayX)->click();
    return ReadCapture(capture);
  }

  // Runs `action` once, from the event processing after the slider first
  // shows a page that `reached` accepts.
  void WhenSlider(std::function<bool(int)> reached, std::function<void()> action) {
    auto done = std::make_shared<bool>(false);
    QObject::connect(form().PlaySlider, &QSlider::valueChanged, form().PlaySlider,
                     [this, done, reached, action](int value) {
                       if (*done || !reached(value)) return;
                       *done = true;
                       QTimer::singleShot(0, form().PlaySlider,
                                          [this, action] { form().RunHandler(action); });
                     });
  }

  // The label text for the time up to `page` of the open file.
  QString LabelAt(int32_t page) {
    const int32_t ms = page == 0
                           ? 0
                           : imports::get_time(form().SplpTable.data(), static_cast<uint32_t>(page),
                                               static_cast<int32_t>(form().Splp.page_ms[0]),
                                               static_cast<int32_t>(form().Splp.page_ms[1]));
    return QStringLiteral("[") + strFormatTime(ms) + QStringLiteral(" / ") + form().TotalTimeText +
           QStringLiteral("]");
  }

  bool Ready() {
    return form().PlayX->isEnabled() && form().CueX->isEnabled() && form().RevX->isEnabled() &&
           form().StopX->isEnabled() && !form().Cancelx->isEnabled();
  }

  QApplication& app_ = TestApplication();  // before anything of Qt
  testkit::TempDir dir_;
  ScriptedHost host_;
  EventPump pump_;
  std::unique_ptr<Form1> form_;
};

// Equal sample runs, or where they part.
inline ::testing::AssertionResult SameSound(const std::vector<int16_t>& heard,
                                            const std::vector<int16_t>& expected) {
  const std::size_t common = std::min(heard.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (heard[i] != expected[i]) {
      return ::testing::AssertionFailure()
             << "sample " << i << " is " << heard[i] << ", expected " << expected[i] << " ("
             << heard.size() << " heard, " << expected.size() << " expected)";
    }
  }
  if (heard.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << heard.size() << " samples heard, " << expected.size() << " expected";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace calendo::testing
