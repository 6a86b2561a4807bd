// DecodePlayX: real-time playback of the open recorder file.
//
// Pages are decoded a burst of three at a time just ahead of the sound and
// handed to the wave output as one block each; the output's count of finished
// blocks moves the slider and the time label and paces the next burst. The
// loop lets the window's events run between its steps, so every other handler
// (Stop, the slider, open, a mode button starting a playback of its own) runs
// inside it and ends it through PlayActive or by closing the output.
//
// At a speed other than 1.0 (normal play only), each decoded page passes
// through a PageStretcher on its way to the output; its block may be handed
// over a page or two later, and the pages it still holds count as not yet
// handed over.
//
// With Speed > Skip silence on, a PlaybackSkip cuts each decoded page before
// the stretcher or the output sees it; a page stays one block, only shorter,
// so the count of blocks still follows the recording's pages.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "calendo/page_shape.h"
#include "calendo/recording.h"
#include "platform/memory.h"
#include "playback/page_stretcher.h"
#include "playback/playback_skip.h"
#include "playback/volume_gain.h"
#include "qt/file_kind_name.h"
#include "qt/file_name_bytes.h"
#include "sondrel.h"
#include "window/form1.h"

namespace calendo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kBlockSize = 3;  // pages decoded in one burst
// How long the output may report no stream after the stream-start block was
// handed over before the sound counts as lost (a device that cannot be
// opened drops the block and stays without a stream).
constexpr auto kNoSoundAfter = std::chrono::seconds(1);
// How long the output must stay dry in a final wait before that counts as
// the end: just after the last pages are handed over it may still report
// the dry spell before them.
constexpr auto kDryEndAfter = std::chrono::milliseconds(200);
// The longest the end of a playback waits for the output to play what it
// still holds.
constexpr auto kLastPagesAtMost = std::chrono::seconds(1);
// The longest the loops sleep when no event comes; every change they look
// for arrives as an event, this only bounds the two time limits above.
constexpr auto kLoopWait = std::chrono::milliseconds(20);

// The decoding parameters of one recording mode.
struct PageMode {
  int32_t rate_code = 0;
  int32_t code_bits = 0;
  int32_t code_bytes = 0;
  int32_t extra_bits = 0;
};

PageMode ModeOf(const SplpInfo& splp, int m) {
  return {splp.rate_code[m], splp.code_bits[m], splp.code_bytes[m], splp.extra_bits[m]};
}

// The rate the stream announces: the decoder's output rate (8000 Hz for an
// LP vqm file, else 11025 Hz), doubled for cue and review.
int32_t StreamRate(int16_t file_kind, const SplpInfo& splp, int16_t mode) {
  const std::optional<Container> container = container_of_kind(file_kind);
  int32_t rate = 0;
  if (container == Container::Vqm && splp.page_field[kLp] > 0) rate = 8;
  if (container == Container::Vqm && splp.page_field[kSp] > 0) rate = 11;
  if (container == Container::Vqr) rate = 11;
  return mode == 0 ? rate : 2 * rate;
}

}  // namespace

// One run of DecodePlayX from the end of its start to one of its ends.
class PlaybackRun {
 public:
  enum class End {
    stopped,
    halted,
    halted_after_wait,
    file_gone,
    finished_forward,
    finished_backward,
    no_sound,
  };

  PlaybackRun(Form1& form, QString file_name, int32_t start_page, int32_t step,
              std::unique_ptr<PageStretcher> stretcher, std::unique_ptr<PlaybackSkip> skip)
      : f_(form),
        file_name_(std::move(file_name)),
        path_(FileNameBytes(file_name_)),
        start_page_(start_page),
        step_(step),
        slots_(static_cast<std::size_t>(form.PageCount) + 2, nullptr),
        stretcher_(std::move(stretcher)),
        skip_(std::move(skip)) {}

  // Hands the stream-start block over (steps 8 of the start).
  void StartStream(int32_t rate) {
    std::array<uint8_t, TESMOR_HEADER_COPY> header{};
    imports::SoundSet11k16bit(&slots_[0], rate, header.data());
    HandOver(slots_[0], TESMOR_STREAM_BLOCK);
    stream_started_ = Clock::now();
  }

  End Play(int32_t first, int32_t end_page) {
    end_page_ = end_page;
    first_ = first;
    last_ = first + (kBlockSize - 1) * step_;  // the first burst is not clipped
    decoded_to_ = first;
    shown_ = start_page_;
    f_.PlayActive = 1;
    for (;;) {
      f_.pump().ProcessEventsOrWait(kLoopWait);
      int32_t now = imports::WavNowPlay();
      if (now == SONDREL_NOW_NO_ENGINE || f_.PlayActive == 0) return End::stopped;
      if (SoundLost(now)) return End::no_sound;
      if (now == SONDREL_NOW_STARVED) shown_ = HandedOverTo();
      f_.PlaySlider->setValue(shown_);
      f_.TimeDisplay(shown_);
      // Forward and backward alike: a burst when fewer than half a burst of
      // pages lie queued ahead of the page shown, so that one to four pages
      // wait in the output.
      if ((HandedOverTo() - shown_) * step_ * 2 < kBlockSize) {
        if (const std::optional<End> end = DecodeBurst()) return *end;
      }
      now = imports::WavNowPlay();
      Follow(now);
      if (now == SONDREL_NOW_NO_ENGINE || f_.PlayActive == 0) return End::halted;
    }
  }

  int32_t end_page() const { return end_page_; }

  // The end of a playback is seen while the last two pages still wait in the
  // output (forward, two LP pages outlast the pause after it; backward, there
  // is no pause): give the output the time to play them before it is stopped.
  void LetTheLastPagesPlay() {
    const auto deadline = Clock::now() + kLastPagesAtMost;
    while (imports::WavNowPlay() >= 0 && Clock::now() < deadline) {
      f_.pump().ProcessEventsOrWait(kLoopWait);
    }
  }

 private:
  std::optional<End> DecodeBurst() {
    for (int32_t p = first_; step_ > 0 ? p <= last_ : p >= last_; p += step_) {
      if (!NamedFileExists(file_name_)) return End::file_gone;
      f_.PageStatus = imports::play_1pagerd(path_.constData(), p, page_.data(), f_.FileKind);
      if (f_.PageStatus == KESTRUNE_SP_PAGE) mode_ = ModeOf(f_.Splp, 0);
      if (f_.PageStatus == KESTRUNE_LP_PAGE) mode_ = ModeOf(f_.Splp, 1);
      // A page that could not be read keeps the parameters of the page before
      // it; before any page gave them there is nothing to decode it with.
      if (mode_.rate_code != 0) DecodePage(p);
      const int32_t now = imports::WavNowPlay();
      if (now == SONDREL_NOW_NO_ENGINE || f_.PlayActive == 0) return End::halted;
      if (step_ > 0 && p == end_page_) {
        FlushStretcher();
        return FinalWaitForward();
      }
      if (step_ < 0 && p == 0) return FinalWaitBackward();
    }
    decoded_to_ = last_ + step_;
    first_ = last_ + step_;
    last_ = step_ > 0 ? std::min(first_ + kBlockSize - 1, end_page_)
                      : std::max(first_ - (kBlockSize - 1), 0);
    return std::nullopt;
  }

  void DecodePage(int32_t p) {
    const int32_t codes = imports::pb_exdata(
        static_cast<int16_t>(mode_.code_bits), static_cast<int16_t>(mode_.code_bytes),
        static_cast<int16_t>(mode_.extra_bits), page_.data(), codes_.data());
    int16_t* samples = nullptr;
    int32_t count =
        imports::pb_adpcm_dec(mode_.rate_code, mode_.code_bits, codes, codes_.data(), &samples, 0);
    if (skip_) count = skip_->Apply(p, samples, count);
    if (stretcher_) {
      if (samples != nullptr) {
        stretcher_->Push(
            std::span<const int16_t>(samples, static_cast<std::size_t>(std::max(count, 0))));
        platform::block_free(samples);
        stretched_pages_.push_back(p);
      }
      HandOverStretched();
      return;
    }
    if (samples != nullptr) ToVolume(samples, static_cast<std::size_t>(std::max(count, 0)));
    void*& slot = Slot(p);
    slot = samples;
    HandOver(slot, static_cast<uint32_t>(std::max(count, 0)) * 2);
  }

  // The blocks of the stretched pages that are complete, in page order.
  void HandOverStretched() {
    while (std::optional<std::vector<int16_t>> block = stretcher_->TakePage()) {
      const int32_t p = stretched_pages_.front();
      stretched_pages_.pop_front();
      // A page the skip cut whole may stretch to nothing; it still plays as
      // a block of its own.
      if (block->empty()) block->push_back(0);
      ToVolume(block->data(), block->size());
      const std::size_t bytes = block->size() * sizeof(int16_t);
      void*& slot = Slot(p);
      slot = platform::block_alloc(bytes);
      if (slot != nullptr) std::memcpy(slot, block->data(), bytes);
      HandOver(slot, static_cast<uint32_t>(bytes));
    }
  }

  // The last page has been decoded: what the stretcher holds goes out.
  void FlushStretcher() {
    if (!stretcher_) return;
    stretcher_->Finish();
    HandOverStretched();
  }

  // The last step before the sound device: the window's volume and even
  // loudness, as they are when the block is handed over.
  void ToVolume(int16_t* samples, std::size_t count) const {
    ApplyPlaybackGain(std::span<int16_t>(samples, count), f_.PlaybackGain());
  }

  // The page after the last one whose block the output has been given.
  int32_t HandedOverTo() const {
    const auto held = static_cast<int32_t>(stretcher_ ? stretcher_->PendingPages() : 0);
    return decoded_to_ - step_ * held;
  }

  // The slot of page p's block: slot p + 1.
  void*& Slot(int32_t p) {
    const auto index = static_cast<std::size_t>(p) + 1;
    if (p < 0 || index >= slots_.size()) Raise(kErrSubscriptOutOfRange);
    return slots_[index];
  }

  // A block the output refuses (no stream, or the stream is over) stays ours.
  static void HandOver(void* block, uint32_t length) {
    if (block == nullptr) return;
    void* handed = block;
    if (imports::WavAddPlayData(&handed, length) == 0) platform::block_free(block);
  }

  // The page being heard follows the count of finished blocks; the other
  // answers (no stream yet, run dry) leave it where it is.
  void Follow(int32_t now) {
    if (now >= 0) shown_ = start_page_ + step_ * now;
  }

  bool SoundLost(int32_t now) const {
    return now == SONDREL_NOW_IDLE && Clock::now() - stream_started_ > kNoSoundAfter;
  }

  // Whether the output has stayed dry for long enough to count as played out.
  bool PlayedOut(int32_t now) {
    if (now != SONDREL_NOW_STARVED) {
      dry_since_.reset();
      return false;
    }
    if (!dry_since_) dry_since_ = Clock::now();
    return Clock::now() - *dry_since_ >= kDryEndAfter;
  }

  // Every page up to the last has been handed over.
  End FinalWaitForward() {
    dry_since_.reset();
    for (;;) {
      Follow(imports::WavNowPlay());
      f_.pump().ProcessEventsOrWait(kLoopWait);
      if (f_.PlayActive == 0) return End::halted_after_wait;
      if (shown_ >= end_page_) return End::finished_forward;
      const int32_t now = imports::WavNowPlay();
      if (now == SONDREL_NOW_NO_ENGINE) return End::halted_after_wait;
      if (PlayedOut(now)) return End::finished_forward;
      if (SoundLost(now)) return End::no_sound;
      f_.PlaySlider->setValue(shown_);
    }
  }

  End FinalWaitBackward() {
    dry_since_.reset();
    for (;;) {
      Follow(imports::WavNowPlay());
      f_.pump().ProcessEventsOrWait(kLoopWait);
      if (f_.PlayActive == 0) return End::halted_after_wait;
      if (shown_ <= 0) return End::finished_backward;
      const int32_t now = imports::WavNowPlay();
      if (now == SONDREL_NOW_NO_ENGINE) return End::halted_after_wait;
      if (PlayedOut(now)) return End::finished_backward;
      if (SoundLost(now)) return End::no_sound;
      f_.PlaySlider->setValue(shown_);
      f_.TimeDisplay(shown_);
    }
  }

  Form1& f_;
  const QString file_name_;
  const QByteArray path_;
  const int32_t start_page_;
  const int32_t step_;  // +1 forward, -1 backward
  std::vector<void*> slots_;
  std::array<uint8_t, KESTRUNE_PAGE_BUFFER> page_{};
  std::array<uint8_t, KESTRUNE_CODE_BUFFER> codes_{};
  PageMode mode_;
  int32_t end_page_ = 0;
  int32_t first_ = 0;
  int32_t last_ = 0;
  int32_t decoded_to_ = 0;
  int32_t shown_ = 0;
  Clock::time_point stream_started_;
  std::unique_ptr<PageStretcher> stretcher_;  // null at 1.0x and in cue and review
  std::deque<int32_t> stretched_pages_;       // pages inside the stretcher, oldest first
  std::unique_ptr<PlaybackSkip> skip_;        // null unless silence is skipped
  std::optional<Clock::time_point> dry_since_;
};

void Form1::DecodePlayX(const QString& fileName, int32_t& startPage, int16_t& mode,
                        int16_t& result) {
  result = 0;
  // This run keeps the name it was started with: a name handed over while it
  // plays goes to PlayFileName and must not change the file being read.
  const QString file_name = fileName;
  const int16_t play_mode = mode;
  if (file_name.isEmpty()) {
    MsgAnswer = QString::number(
        host_.MsgBox(MsgText[kMsgSelectFile], platform::kMbCancelTryContinue, MsgText[kMsgTitle]));
    return;
  }

  PageStatus = 0;
  RecreateWaveOutput();

  PlayActive = 0;
  startPage = PlaySlider->value();
  PlayX->setEnabled(play_mode != 0);
  CueX->setEnabled(play_mode <= 0);
  RevX->setEnabled(play_mode >= 0);

  auto close_output = [this] {
    imports::WavStop();
    imports::WavDestroy();
    pump_.ProcessEvents();
  };

  Splp = imports::play_splpget(FileNameBytes(file_name).constData(), FileKind);
  // The file no longer opens, or has become something else since it was
  // opened: its refusal values are no parameters to decode with. Said as for
  // a file that goes away during playback, and the output just made is shut.
  const int16_t refusal = Splp.rate_code[0];
  if ((container_of_kind(FileKind) == Container::Vqr && refusal == KESTRUNE_CANNOT_OPEN) ||
      refusal == KESTRUNE_WRONG_KIND) {
    close_output();
    MsgAnswer =
        QString::number(host_.MsgBox(MsgText[kMsgCannotOpen], platform::kMbOk, MsgText[kMsgTitle]));
    ComControl(NO_FILE);
    M_transwav->menuAction()->setEnabled(false);
    return;
  }
  if (PageCount == 0) {
    MsgAnswer = QString::number(
        host_.MsgBox(OpenErrText, platform::kMbCancelTryContinue, QStringLiteral("FileOpenError")));
    ComControl(NO_FILE);
    return;
  }
  PlaySlider->setMaximum(PageCount - 1);

  const int32_t step = play_mode < 0 ? -1 : 1;
  stream_speed_tenths_ = play_mode == 0 ? speed_tenths_ : kNormalSpeedTenths;
  std::unique_ptr<PageStretcher> stretcher;
  const int32_t stream_rate = StreamRate(FileKind, Splp, play_mode);
  if (stream_speed_tenths_ != kNormalSpeedTenths) {
    stretcher = std::make_unique<PageStretcher>(stream_rate == 8 ? kRate8k : kRate11k,
                                                speed_tenths_ / 10.0);
  }
  std::unique_ptr<PlaybackSkip> skip = SkipForPlayback(play_mode);
  PlaybackRun run(*this, file_name, startPage, step, std::move(stretcher), std::move(skip));
  run.StartStream(stream_rate);

  int32_t first = startPage;
  int32_t end_page = PageCount - 1;
  if (step < 0) {
    if (startPage == 0) {
      imports::WavStop();
      imports::WavDestroy();
      Wait(0.1f);
      PlayX->setEnabled(true);
      CueX->setEnabled(true);
      RevX->setEnabled(true);
      return;
    }
    if (startPage == PageCount) first = startPage - 1;
    end_page = 0;
  }

  const PlaybackRun::End end = run.Play(first, end_page);
  int32_t page = run.end_page();
  switch (end) {
    case PlaybackRun::End::stopped:
      PlayActive = 0;
      close_output();
      // An open that failed inside this playback left the buttons NO FILE.
      if (OpenFailed == kFalse) {
        ComControl(READY);
      } else {
        OpenFailed = kFalse;
      }
      break;
    case PlaybackRun::End::halted:
      PlayActive = 0;
      close_output();
      ComControl(READY);
      break;
    case PlaybackRun::End::halted_after_wait:
      close_output();
      ComControl(READY);
      break;
    case PlaybackRun::End::file_gone:
      PlayActive = 0;
      close_output();
      MsgAnswer = QString::number(
          host_.MsgBox(MsgText[kMsgCannotOpen], platform::kMbOk, MsgText[kMsgTitle]));
      ComControl(NO_FILE);
      M_transwav->menuAction()->setEnabled(false);
      break;
    case PlaybackRun::End::finished_forward:
      PlayActive = 0;
      PlaySlider->setValue(page);
      TimeDisplay(page);
      Wait(0.5f);
      run.LetTheLastPagesPlay();
      close_output();
      PlaySlider->setValue(0);
      page = 0;
      TimeDisplay(page);
      ComControl(READY);
      break;
    case PlaybackRun::End::finished_backward:
      PlayActive = 0;
      run.LetTheLastPagesPlay();
      close_output();
      page = 0;
      TimeDisplay(page);
      PlaySlider->setValue(0);
      ComControl(READY);
      break;
    case PlaybackRun::End::no_sound:
      PlayActive = 0;
      close_output();
      MsgAnswer = QString::number(host_.MsgBox(MsgText[kMsgCannotPlaySound],
                                               platform::kMbIconExclamation, MsgText[kMsgTitle]));
      ComControl(READY);
      break;
  }
}

}  // namespace calendo
