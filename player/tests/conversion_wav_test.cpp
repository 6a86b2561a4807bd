// Converting an open recorder file to WAV through the menu: the file written,
// the dialogs, the progress, Cancel and the ways a conversion fails. Runs on
// the real decoder and reader libraries of the build.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QTimer>

#include "conversion_fixture.h"
#include "scripted_host.h"
#include "test_app.h"
#include "window/form1.h"

namespace calendo {
namespace {

namespace fs = std::filesystem;
using testing::ExpectedWav;
using testing::MakePages;
using testing::PageCodes;
using testing::PutOpened;
using testing::ReadAll;
using testing::ScriptedHost;
using testing::WriteVqr;

// The file systems as they are, except for a free space the test chooses;
// remembers the root it was asked about.
class ShortDrive final : public DriveSystem {
 public:
  explicit ShortDrive(uint64_t free_bytes) : free_bytes_(free_bytes) {}
  platform::DriveQuery<platform::DiskSpace> DiskSpace(const std::string& root) const override {
    asked = root;
    auto space = PlatformDriveSystem().DiskSpace(root);
    if (space.ok()) space.value().free_bytes = free_bytes_;
    return space;
  }
  platform::DriveType DriveType(const std::string& root) const override {
    return PlatformDriveSystem().DriveType(root);
  }
  platform::DriveQuery<platform::VolumeInfo> VolumeInfo(const std::string& root) const override {
    return PlatformDriveSystem().VolumeInfo(root);
  }
  int SetVolumeLabel(const std::string&, const std::string&) const override { return EPERM; }
  bool RootCanBeListed(const std::string& root) const override {
    return PlatformDriveSystem().RootCanBeListed(root);
  }
  bool IsOnMountedFileSystem(const std::string& root) const override {
    return PlatformDriveSystem().IsOnMountedFileSystem(root);
  }
  mutable std::string asked;

 private:
  uint64_t free_bytes_;
};

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* audio = std::getenv("CALENDO_AUDIO")) saved_audio_ = audio;
    setenv("CALENDO_AUDIO", "null", 1);
    binding::SetLibraryDirectory(CALENDO_LIB_DIR);
  }
  void TearDown() override {
    form_.reset();
    binding::SetLibraryDirectory({});
    // Later tests of the same program start players of their own.
    if (saved_audio_) {
      setenv("CALENDO_AUDIO", saved_audio_->c_str(), 1);
    } else {
      unsetenv("CALENDO_AUDIO");
    }
  }

  Form1& Start(const DriveSystem* drives = nullptr) {
    form_ = std::make_unique<Form1>(host_, pump_, "E");
    if (drives != nullptr) form_->SetDriveSystem(*drives);
    form_->Form_Load();
    return *form_;
  }

  // Writes the pages as memo.vqr, opens it and converts it to `out` (default
  // memo.wav beside it) with the given sample format.
  Form1& Convert(const std::vector<PageCodes>& pages, int bits, uint8_t lp_rate = 7,
                 std::optional<fs::path> out = std::nullopt) {
    Form1& form = form_ ? *form_ : Start();
    WriteVqr(recorder_, pages, lp_rate);
    PutOpened(form, recorder_);
    host_.save_answers.push_back(QString::fromStdString(out.value_or(wav_).string()));
    (bits == 8 ? form.Trans_wav8bit : form.Trans_wav16bit)->trigger();
    return form;
  }

  std::vector<QString> BoxTexts() const {
    std::vector<QString> texts;
    for (const auto& box : host_.boxes) texts.push_back(box.text);
    return texts;
  }

  QApplication& app_ = testing::TestApplication();  // before anything of Qt
  ScriptedHost host_;
  EventPump pump_;
  std::unique_ptr<Form1> form_;
  std::optional<std::string> saved_audio_;
  testkit::TempDir dir_;
  fs::path recorder_ = dir_.file("memo.vqr");
  fs::path wav_ = dir_.file("memo.wav");
};

TEST_F(ConversionTest, WavFileIsTheDecodeOfEveryPageAtBothSampleSizes) {
  struct Case {
    const char* name;
    std::vector<PageCodes> pages;
    uint8_t lp_rate;
  };
  const std::vector<Case> cases = {
      {"SP only", MakePages(4, [](int) { return false; }), 7},
      {"LP only, rate code 7", MakePages(3, [](int) { return true; }), 7},
      {"LP only, rate code 8", MakePages(3, [](int) { return true; }), 8},
      {"SP and LP", MakePages(5, [](int p) { return p % 2 == 1; }), 7},
  };
  for (const Case& c : cases) {
    for (int bits : {8, 16}) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(bits) + " bits");
      Form1& form = Convert(c.pages, bits, c.lp_rate);
      const std::vector<uint8_t> written = ReadAll(wav_);
      const std::vector<uint8_t> expected = ExpectedWav(c.pages, c.lp_rate, bits);
      ASSERT_EQ(written.size(), expected.size());
      EXPECT_TRUE(written == expected);
      EXPECT_TRUE(host_.boxes.empty());
      EXPECT_EQ(form.ConvActive, 0);
      host_.boxes.clear();
      fs::remove(wav_);
    }
  }
}

TEST_F(ConversionTest, TenSpPagesAt16BitsGiveOneFileAt11025Hz) {
  Form1& form = Convert(MakePages(10, [](int) { return false; }), 16);
  const std::vector<uint8_t> wav = ReadAll(wav_);
  ASSERT_EQ(wav.size(), 44u + 27200u);
  EXPECT_EQ(wav[24] | wav[25] << 8, 11025);
  // The window is back to READY with its slider.
  EXPECT_TRUE(form.PlayX->isEnabled());
  EXPECT_TRUE(form.Cancelx->isHidden());
  EXPECT_TRUE(form.ProgressBar1->isHidden());
  EXPECT_FALSE(form.PlaySlider->isHidden());
  EXPECT_EQ(form.PlayTimeLabel->text(), QStringLiteral(" "));
  EXPECT_EQ(form.ConvFileName, QString::fromStdString(wav_.string()));
  // The dialog proposed the recorder file's name as a WAV file.
  ASSERT_EQ(host_.save_requests.size(), 1u);
  EXPECT_EQ(host_.save_requests[0].file_name, QStringLiteral("memo.wav"));
  EXPECT_EQ(host_.save_requests[0].filter, QStringLiteral("wav file(*.wav)|*.wav"));
}

TEST_F(ConversionTest, ProgressShowsAtEveryCheckpointWithAlternatingSuffix) {
  struct Case {
    int pages;
    std::vector<int> checkpoints;
  };
  std::vector<int> of150, of100;
  for (int p = 0; p < 150; p += 15) of150.push_back(p);
  of150.push_back(149);
  for (int p = 0; p < 100; p += 2) of100.push_back(p);
  of100.push_back(99);
  for (const Case& c : {Case{150, of150}, Case{100, of100}}) {
    SCOPED_TRACE(c.pages);
    Form1& form = form_ ? *form_ : Start();
    // The bar moves first, then the label follows: at each move the label
    // still shows the checkpoint before.
    std::vector<int> values;
    std::vector<QString> labels_before;
    auto watch = QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
      if (v == 0) return;  // the bar's resets
      values.push_back(v);
      labels_before.push_back(form.PlayTimeLabel->text());
    });
    Convert(MakePages(c.pages, [](int) { return false; }), 8);
    QObject::disconnect(watch);

    const std::vector<int> moved(c.checkpoints.begin() + 1, c.checkpoints.end());
    EXPECT_EQ(values, moved);
    ASSERT_EQ(labels_before.size(), moved.size());
    for (std::size_t i = 0; i < moved.size(); ++i) {
      const int page = c.checkpoints[i];
      const int percent = page * 100 / (c.pages - 1);
      EXPECT_EQ(labels_before[i],
                QString::number(percent) +
                    (i % 2 == 0 ? QStringLiteral(" %   ") : QStringLiteral(" %  .")));
    }
    EXPECT_EQ(form.ProgressBar1->maximum(), c.pages - 1);
    EXPECT_EQ(ReadAll(wav_).size(), 44u + 1360u * static_cast<unsigned>(c.pages));
    fs::remove(wav_);
  }
}

TEST_F(ConversionTest, OnePageFileConvertsAlthoughItsPercentageHasNoValue) {
  Form1& form = Convert(MakePages(1, [](int) { return false; }), 16);
  EXPECT_TRUE(ReadAll(wav_) == ExpectedWav(MakePages(1, [](int) { return false; }), 7, 16));
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(form.ConvActive, 0);
}

TEST_F(ConversionTest, ExistingFileIsReplacedOnlyWhenItHoldsSomethingAndTheAnswerIsYes) {
  const auto pages = MakePages(2, [](int) { return false; });
  // Empty: replaced without a question.
  testkit::write_file(wav_, {});
  Convert(pages, 16);
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(ReadAll(wav_).size(), 44u + 2u * 2720u);

  // Not empty: No shows the dialog again with the same name; Yes replaces.
  testkit::write_file(wav_, std::vector<uint8_t>(7, 0x55));
  host_.box_answers = {7, 6};
  host_.save_answers.push_back(QString::fromStdString(wav_.string()));
  host_.save_requests.clear();
  Convert(pages, 8);
  ASSERT_EQ(host_.boxes.size(), 2u);
  for (const auto& box : host_.boxes) {
    EXPECT_EQ(box.text, QStringLiteral("Replace existing file?"));
    EXPECT_EQ(box.style, 4);
    EXPECT_EQ(box.title, QStringLiteral("Calendo"));
  }
  ASSERT_EQ(host_.save_requests.size(), 2u);
  EXPECT_EQ(host_.save_requests[0].file_name, QStringLiteral("memo.wav"));
  EXPECT_EQ(host_.save_requests[1].file_name, QStringLiteral("memo.wav"));
  EXPECT_EQ(ReadAll(wav_).size(), 44u + 2u * 1360u);

  // No, then the dialog cancelled: the file stays as it was.
  testkit::write_file(wav_, std::vector<uint8_t>(7, 0x55));
  host_.box_answers = {7};
  Convert(pages, 8);  // its one scripted answer is taken by the first dialog
  EXPECT_EQ(ReadAll(wav_), std::vector<uint8_t>(7, 0x55));
  EXPECT_EQ(form_->ConvActive, 0);
}

// The save dialog proposes the recording's name in its folder; a name typed
// without the .wav ending gets it, and a file of that full name is what the
// replace question is about.
TEST_F(ConversionTest, ANameTypedWithoutTheWavEndingGetsIt) {
  const auto pages = MakePages(2, [](int) { return false; });
  Convert(pages, 16, 7, dir_.file("minutes"));
  ASSERT_EQ(host_.save_requests.size(), 1u);
  EXPECT_EQ(host_.save_requests[0].initial_dir, QString::fromStdString(dir_.path().string()));
  EXPECT_EQ(host_.save_requests[0].file_name, QStringLiteral("memo.wav"));
  EXPECT_EQ(ReadAll(dir_.file("minutes.wav")).size(), 44u + 2u * 2720u);
  EXPECT_FALSE(fs::exists(dir_.file("minutes")));
  EXPECT_EQ(form_->ConvFileName, QString::fromStdString(dir_.file("minutes.wav").string()));

  // Typed again: the file now exists, so the question comes; any case of the
  // ending counts as the ending.
  Convert(pages, 8, 7, dir_.file("minutes"));
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Replace existing file?")});
  EXPECT_EQ(ReadAll(dir_.file("minutes.wav")).size(), 44u + 2u * 1360u);
  Convert(pages, 8, 7, dir_.file("LOUD.WAV"));
  EXPECT_EQ(ReadAll(dir_.file("LOUD.WAV")).size(), 44u + 2u * 1360u);
}

TEST_F(ConversionTest, CrExstrReplacesTheLastThreeCharactersUnlessTheyMatchExactly) {
  EXPECT_EQ(Form1::CrExstr("memo.vqr", "wav"), QStringLiteral("memo.wav"));
  EXPECT_EQ(Form1::CrExstr("MEMO.WAV", "wav"), QStringLiteral("MEMO.wav"));
  EXPECT_EQ(Form1::CrExstr("memo.wav", "wav"), QStringLiteral("memo.wav"));
  EXPECT_EQ(Form1::CrExstr("memo", "wav"), QStringLiteral("mwav"));
  EXPECT_EQ(Form1::CrExstr("ab", "wav"), QStringLiteral("wav"));
}

// Runs `action` from the window's events once the bar reaches `page`.
void AtCheckpoint(Form1& form, int page, std::function<void()> action) {
  auto done = std::make_shared<bool>(false);
  QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, &form,
                   [&form, page, action, done](int v) {
                     if (*done || v != page) return;
                     *done = true;
                     QTimer::singleShot(0, &form, action);
                   });
}

TEST_F(ConversionTest, CancelDeletesTheFileAndNoPageFollows) {
  Form1& form = Start();
  AtCheckpoint(form, 30, [&form] { form.Cancelx->click(); });
  Convert(MakePages(150, [](int) { return false; }), 16);
  EXPECT_FALSE(fs::exists(wav_));
  EXPECT_EQ(form.ConvActive, 0);
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_TRUE(form.PlayX->isEnabled());
}

// The names in the test's folder, the recording's aside.
std::vector<std::string> WavFolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename() != "memo.vqr") names.push_back(entry.path().filename().string());
  }
  return names;
}

// Yes to "Replace existing file?" replaces the file only once the new one is
// complete: Cancel, or a disk that fills, leaves the old one byte for byte.
TEST_F(ConversionTest, AReplacedFileStaysUntilTheNewOneIsComplete) {
  const auto pages = MakePages(150, [](int) { return false; });
  const std::vector<uint8_t> old_bytes(3000, 0x5a);

  Form1& form = Start();
  testkit::write_file(wav_, old_bytes);
  host_.box_answers = {6};
  AtCheckpoint(form, 30, [&form] { form.Cancelx->click(); });
  Convert(pages, 16);
  ASSERT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Replace existing file?")});
  EXPECT_EQ(ReadAll(wav_), old_bytes);
  EXPECT_EQ(WavFolderNames(dir_.path()), std::vector<std::string>{"memo.wav"});
  EXPECT_TRUE(form.conversion_temp_files.empty());
  EXPECT_EQ(form.ConvActive, 0);

  // The recorder file vanishes midway: "Can't open file", the old file stays.
  host_.boxes.clear();
  host_.box_answers = {6};
  AtCheckpoint(form, 45, [this] { fs::remove(recorder_); });
  Convert(pages, 16);
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{QStringLiteral("Replace existing file?"),
                                              QStringLiteral("Can't open file")}));
  EXPECT_EQ(ReadAll(wav_), old_bytes);
  EXPECT_EQ(WavFolderNames(dir_.path()), std::vector<std::string>{"memo.wav"});
}

// A finished conversion replaces the file and is dated as the recording.
TEST_F(ConversionTest, ACompletedConversionReplacesTheFileWithTheRecordingsTime) {
  const auto pages = MakePages(20, [](int) { return false; });
  Form1& form = Start();
  WriteVqr(recorder_, pages);
  // A time long before now, to the nanosecond.
  fs::last_write_time(recorder_, fs::last_write_time(recorder_) - std::chrono::hours(24 * 400) +
                                     std::chrono::nanoseconds(123456789));
  testkit::write_file(wav_, std::vector<uint8_t>(3000, 0x5a));
  PutOpened(form, recorder_);
  host_.box_answers = {6};
  host_.save_answers.push_back(QString::fromStdString(wav_.string()));
  form.Trans_wav16bit->trigger();
  EXPECT_TRUE(ReadAll(wav_) == ExpectedWav(pages, 7, 16));
  EXPECT_EQ(fs::last_write_time(wav_), fs::last_write_time(recorder_));
  EXPECT_EQ(WavFolderNames(dir_.path()), std::vector<std::string>{"memo.wav"});
}

TEST_F(ConversionTest, ShortOfSpaceOnTheWavFilesFolderLeavesNoFile) {
  const auto pages = MakePages(10, [](int) { return false; });
  ShortDrive drive(27200 - 1);
  Start(&drive);
  fs::create_directory(dir_.file("out"));
  const fs::path out = dir_.file("out") / "memo.wav";
  Convert(pages, 16, 7, out);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Short of capacity ")});
  EXPECT_EQ(host_.boxes[0].style, 6);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(drive.asked, out.parent_path().string());
}

TEST_F(ConversionTest, JustEnoughSpaceConverts) {
  ShortDrive drive(27200);
  Start(&drive);
  Convert(MakePages(10, [](int) { return false; }), 16);
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(ReadAll(wav_).size(), 44u + 27200u);
}

TEST_F(ConversionTest, FailuresBeforeTheFirstPageLeaveNoFile) {
  Form1& form = Start();
  // No whole page.
  WriteVqr(recorder_, {});
  PutOpened(form, recorder_);
  host_.save_answers.push_back(QString::fromStdString(wav_.string()));
  form.Trans_wav16bit->trigger();
  // The file cannot be created.
  const fs::path nowhere = dir_.file("missing") / "memo.wav";
  Convert(MakePages(2, [](int) { return false; }), 16, 7, nowhere);
  // The recorder file is gone since it was opened.
  WriteVqr(recorder_, MakePages(2, [](int) { return false; }));
  PutOpened(form, recorder_);
  fs::remove(recorder_);
  host_.save_answers.push_back(QString::fromStdString(wav_.string()));
  form.Trans_wav8bit->trigger();

  EXPECT_EQ(BoxTexts(), (std::vector<QString>{QStringLiteral("Can't open file"),
                                              QStringLiteral("Running already"),
                                              QStringLiteral("Can't open file")}));
  for (const auto& box : host_.boxes) EXPECT_EQ(box.style, 6);
  EXPECT_FALSE(fs::exists(wav_));
  EXPECT_FALSE(fs::exists(nowhere));
  EXPECT_EQ(form.ConvActive, 0);
  EXPECT_TRUE(form.ProgressBar1->isHidden());
}

TEST_F(ConversionTest, FailuresDuringTheConversionDeleteThePartialFile) {
  Form1& form = Start();
  // The recorder file vanishes: the next page cannot be read.
  AtCheckpoint(form, 30, [this] { fs::remove(recorder_); });
  Convert(MakePages(150, [](int) { return false; }), 16);
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Can't open file")});
  EXPECT_FALSE(fs::exists(wav_));

  // The WAV file's folder vanishes: the samples cannot be written.
  host_.boxes.clear();
  const fs::path folder = dir_.file("out");
  fs::create_directory(folder);
  AtCheckpoint(form, 45, [folder] { fs::remove_all(folder); });
  Convert(MakePages(150, [](int) { return false; }), 16, 7, folder / "memo.wav");
  EXPECT_EQ(BoxTexts(), std::vector<QString>{QStringLiteral("Short of capacity ")});
  EXPECT_FALSE(fs::exists(folder / "memo.wav"));
  EXPECT_EQ(form.ConvActive, 0);
}

TEST_F(ConversionTest, SplpTableGrowsToTheFile) {
  Form1& form = Start();
  const auto pages = MakePages(12, [](int p) { return p >= 6; });
  WriteVqr(recorder_, pages);
  PutOpened(form, recorder_);
  form.SplpTable.assign(3, 0);  // smaller than the file
  host_.save_answers.push_back(QString::fromStdString(wav_.string()));
  form.Trans_wav16bit->trigger();
  EXPECT_GE(form.SplpTable.size(), 13u);
  EXPECT_TRUE(ReadAll(wav_) == ExpectedWav(pages, 7, 16));
}

TEST_F(ConversionTest, ConvertingAgainMidwayStopsTheFirstWithoutLeavingItsPartialFile) {
  const auto pages = MakePages(150, [](int) { return false; });
  const fs::path other = dir_.file("other.wav");
  struct Case {
    const char* name;
    std::optional<fs::path> second;  // the second dialog's answer; none: cancelled
  };
  for (const Case& c : {Case{"another file", other}, Case{"the same file", wav_},
                        Case{"dialog cancelled", std::nullopt}}) {
    SCOPED_TRACE(c.name);
    Form1& form = form_ ? *form_ : Start();
    AtCheckpoint(form, 30, [&] {
      host_.save_answers.push_back(
          c.second ? std::optional(QString::fromStdString(c.second->string())) : std::nullopt);
      host_.box_answers = {6};  // Yes, replace the file being written
      form.Trans_wav8bit->trigger();
    });
    Convert(pages, 16);
    if (c.second) {
      EXPECT_TRUE(ReadAll(*c.second) == ExpectedWav(pages, 7, 8));
    }
    if (c.second != wav_) {
      EXPECT_FALSE(fs::exists(wav_));
    }
    EXPECT_EQ(form.ConvActive, 0);
    fs::remove(wav_);
    fs::remove(other);
  }
}

TEST_F(ConversionTest, AFileOpenedDuringTheConversionDoesNotChangeIt) {
  Form1& form = Start();
  const auto pages = MakePages(150, [](int p) { return p % 7 == 0; });
  const fs::path next = dir_.file("next.vqr");
  WriteVqr(next, MakePages(20, [](int) { return true; }), 8);
  AtCheckpoint(form, 30, [&] { PutOpened(form, next); });
  Convert(pages, 16);
  EXPECT_TRUE(ReadAll(wav_) == ExpectedWav(pages, 7, 16));
  EXPECT_EQ(form.PageCount, 20);
}

}  // namespace
}  // namespace calendo
