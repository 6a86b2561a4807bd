// The window's keys. No control takes the keyboard focus (a button that kept
// it would take Space and Enter for a click); the window takes the keys
// through shortcuts, and each key does only what its button would do in the
// window's present state: while a button is disabled or hidden, its key does
// nothing.
//
// The transport's keys (the first seven below) come from the key map
// (settings/key_map.h), which the user may change; the others are fixed.
//
//   Space       Play when stopped; pause and resume while playing
//   Escape      Stop
//   Left/Right  5 s back/forward, to the nearest page
//   Home        the first page
//   C, R        Cue, Review
//   [, ]        0.1x slower, faster (the Speed menu)
//   N           the start of the next stretch of speech (form1_overview.cpp)
//   Ctrl+Up/Down  the volume a step up, down (form1_volume.cpp)
//   Ctrl+O      File > Open (the menu item's own shortcut)
//   Ctrl+Q      Exit, as the EXIT button
//
// Left, Right and Home move the slider. A playback they move ends where it is
// and goes on from the new page in the same mode (StartPlayback), so that
// moving many times does not stack one playback inside another.
#include <QShortcut>
#include <QStringList>

#include "window/form1.h"

namespace calendo {
namespace {

constexpr int32_t kSeekMs = 5000;

bool Usable(const QWidget* control) {
  return control->isEnabled() && !control->isHidden();
}

// The slider is at hand while a file is open and no conversion runs.
bool SliderAtHand(const Form1& form) {
  return Usable(form.PlaySlider) && form.ConvActive == 0;
}

// The time the label shows at `page` of the open file: the pages up to it.
int32_t ShownTimeMs(const Form1& form, int32_t page) {
  if (page <= 0 || page >= static_cast<int32_t>(form.SplpTable.size())) return 0;
  return imports::get_time(form.SplpTable.data(), static_cast<uint32_t>(page),
                           static_cast<int32_t>(form.Splp.page_ms[0]),
                           static_cast<int32_t>(form.Splp.page_ms[1]));
}

// The buttons' tooltips; %1 (and %2, %3 for the slider) stand for the keys
// the key map gives the actions.
struct ToolTips {
  const char* play;
  const char* stop;
  const char* cue;
  const char* review;
  const char* exit;
  const char* slider;
};

constexpr ToolTips kToolTipsJapanese = {
    "再生 / 一時停止 (%1)", "停止 (%1)",     "キュー (%1)",
    "レビュー (%1)",        "終了 (Ctrl+Q)", "5 秒戻る / 進む (%1 / %2)、先頭へ (%3)"};
constexpr ToolTips kToolTipsEnglish = {
    "Play / pause (%1)", "Stop (%1)",     "Cue (%1)",
    "Review (%1)",       "Exit (Ctrl+Q)", "5 s back / forward (%1 / %2), first page (%3)"};

// The keys of `action` as a tooltip names them: "Space", "F9, Shift+F9";
// the Japanese tooltips show the arrow keys as arrows.
QString KeysText(const KeyMap& map, KeyAction action, bool japanese) {
  QStringList names;
  for (const QKeySequence& key : map.Of(action)) {
    if (japanese && key == QKeySequence(Qt::Key_Left)) {
      names.push_back(QStringLiteral("←"));
    } else if (japanese && key == QKeySequence(Qt::Key_Right)) {
      names.push_back(QStringLiteral("→"));
    } else {
      names.push_back(key.toString(QKeySequence::NativeText));
    }
  }
  return names.isEmpty() ? QStringLiteral("-") : names.join(QStringLiteral(", "));
}

}  // namespace

void Form1::SetUpKeyboard() {
  for (QWidget* control : client_->findChildren<QWidget*>()) control->setFocusPolicy(Qt::NoFocus);

  ApplyKeyMap(DefaultKeyMap());
  for (const QKeyCombination key :
       {QKeyCombination(Qt::Key_BracketLeft), QKeyCombination(Qt::Key_BracketRight),
        QKeyCombination(Qt::Key_N), QKeyCombination(Qt::CTRL, Qt::Key_Q)}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, this,
            [this, key] { RunHandler([this, key] { Form_KeyDown(key); }); });
  }

  // A command that comes between a key's move and the end of the playback it
  // moved replaces the playback that was to go on.
  auto forget_seek = [this] { seek_.pending = false; };
  connect(StopX, &QPushButton::clicked, this, forget_seek);
  connect(M_fileopen, &QAction::triggered, this, forget_seek);
  connect(Trans_wav8bit, &QAction::triggered, this, forget_seek);
  connect(Trans_wav16bit, &QAction::triggered, this, forget_seek);
}

void Form1::ApplyKeyMap(const KeyMap& map) {
  for (QShortcut* shortcut : action_shortcuts_) delete shortcut;
  action_shortcuts_.clear();
  for (int index = 0; index < kKeyActionCount; ++index) {
    const auto action = static_cast<KeyAction>(index);
    for (const QKeySequence& key : map.Of(action)) {
      auto* shortcut = new QShortcut(key, this);
      // A held key acts once (a repeated Space would pause and resume in
      // turn), but for the steps.
      shortcut->setAutoRepeat(action == KeyAction::step_back || action == KeyAction::step_forward);
      connect(shortcut, &QShortcut::activated, this,
              [this, action] { RunHandler([this, action] { DoKeyAction(action); }); });
      action_shortcuts_.push_back(shortcut);
    }
  }

  // The tooltips name the keys the buttons now answer to.
  const bool japanese = lang_code_ == "J";
  const ToolTips& tips = japanese ? kToolTipsJapanese : kToolTipsEnglish;
  const auto keys = [&](KeyAction action) { return KeysText(map, action, japanese); };
  PlayX->setToolTip(QString::fromUtf8(tips.play).arg(keys(KeyAction::play_pause)));
  StopX->setToolTip(QString::fromUtf8(tips.stop).arg(keys(KeyAction::stop)));
  CueX->setToolTip(QString::fromUtf8(tips.cue).arg(keys(KeyAction::forward)));
  RevX->setToolTip(QString::fromUtf8(tips.review).arg(keys(KeyAction::rewind)));
  EXITX->setToolTip(QString::fromUtf8(tips.exit));
  PlaySlider->setToolTip(QString::fromUtf8(tips.slider)
                             .arg(keys(KeyAction::step_back), keys(KeyAction::step_forward),
                                  keys(KeyAction::first_page)));
}

void Form1::DoKeyAction(KeyAction action) {
  switch (action) {
    case KeyAction::play_pause:
      PlayPause();
      break;
    case KeyAction::play:
      Play();
      break;
    case KeyAction::pause:
      Pause();
      break;
    case KeyAction::stop:
      Stop();
      break;
    case KeyAction::step_back:
      MoveToTime(SliderTimeMs() - kSeekMs);
      break;
    case KeyAction::step_forward:
      MoveToTime(SliderTimeMs() + kSeekMs);
      break;
    case KeyAction::first_page:
      MoveToPage(0);
      break;
    case KeyAction::forward:
      if (Usable(CueX)) CueX_Click();
      break;
    case KeyAction::rewind:
      if (Usable(RevX)) RevX_Click();
      break;
  }
}

void Form1::Form_KeyDown(QKeyCombination key) {
  if (GoKeyDown(key)) return;
  switch (key.key()) {
    case Qt::Key_Space:
      DoKeyAction(KeyAction::play_pause);
      break;
    case Qt::Key_Escape:
      DoKeyAction(KeyAction::stop);
      break;
    case Qt::Key_Left:
      DoKeyAction(KeyAction::step_back);
      break;
    case Qt::Key_Right:
      DoKeyAction(KeyAction::step_forward);
      break;
    case Qt::Key_Home:
      DoKeyAction(KeyAction::first_page);
      break;
    case Qt::Key_C:
      DoKeyAction(KeyAction::forward);
      break;
    case Qt::Key_R:
      DoKeyAction(KeyAction::rewind);
      break;
    case Qt::Key_BracketLeft:
      SetSpeedTenths(speed_tenths_ - 1);
      break;
    case Qt::Key_BracketRight:
      SetSpeedTenths(speed_tenths_ + 1);
      break;
    case Qt::Key_N:
      NextUtterance();
      break;
    case Qt::Key_Q:
      if (key.keyboardModifiers() == Qt::ControlModifier && Usable(EXITX)) EXITX_Click();
      break;
    default:
      break;
  }
}

void Form1::PlayPause() {
  if (PlayActive != 0) {
    if (paused_) {
      Resume();
    } else {
      Pause();
    }
  } else if (seek_.pending) {
    seek_.pending = false;  // the moved playback stays stopped at its new page
  } else if (Usable(PlayX)) {
    PlayX_Click();
  }
}

void Form1::Play() {
  if (PlayActive != 0) {
    Resume();
  } else if (!seek_.pending && Usable(PlayX)) {
    PlayX_Click();
  }
}

void Form1::Stop() {
  if (!Usable(StopX)) return;
  seek_.pending = false;
  StopX_Click();
}

void Form1::Pause() {
  if (PlayActive == 0 || paused_) return;
  paused_ = true;
  imports::WavPause(1);
}

void Form1::Resume() {
  if (PlayActive == 0 || !paused_) return;
  const int16_t mode = PlayingMode();
  if (rewind_seconds_ > 0 && SliderAtHand(*this)) {
    // Goes on with the last seconds heard again: before the page heard, or
    // after it in review, which plays backward.
    const int32_t back_ms = rewind_seconds_ * 1000;
    MoveToTime(mode < 0 ? SliderTimeMs() + back_ms : SliderTimeMs() - back_ms);
  } else if (mode == 0 && stream_speed_tenths_ != speed_tenths_ && SliderAtHand(*this)) {
    MoveToPage(PlaySlider->value());  // the speed changed during the pause
  } else {
    paused_ = false;
    imports::WavPause(0);
  }
}

int32_t Form1::SliderTimeMs() const {
  return ShownTimeMs(*this, PlaySlider->value());
}

void Form1::MoveToTime(int32_t ms) {
  if (SliderAtHand(*this)) MoveToPage(NearestPage(ms));
}

int32_t Form1::NearestPage(int32_t ms) const {
  const int32_t last = PageCount - 1;
  if (last <= 0 || static_cast<int32_t>(SplpTable.size()) <= last) return 0;
  auto time_at = [this](int32_t page) { return ShownTimeMs(*this, page); };
  // The times rise with the page: the first page at or past `ms`, or the one
  // before it when that lies nearer (the earlier one on a tie).
  int32_t low = 0;
  int32_t high = last;
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    if (time_at(middle) < ms) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low > 0 && ms - time_at(low - 1) <= time_at(low) - ms) return low - 1;
  return low;
}

void Form1::MoveToPage(int32_t page) {
  if (!SliderAtHand(*this)) return;
  if (PlayActive != 0) {
    seek_ = {true, PlayingMode(), PlayFileName};
    PlayActive = 0;
    imports::WavStop();
  }
  PlaySlider->setValue(page);
  StartPage = PlaySlider->value();
  int32_t shown = StartPage;
  TimeDisplay(shown);
}

int16_t Form1::PlayingMode() const {
  // The mode playing is the one whose button the playback disabled.
  if (!PlayX->isEnabled()) return 0;
  if (!CueX->isEnabled()) return 1;
  if (!RevX->isEnabled()) return -1;
  return PlayMode;
}

std::optional<int16_t> Form1::TakeSeekRestart() {
  if (!seek_.pending) return std::nullopt;
  seek_.pending = false;
  // A hand-off, an open or a press on the slider came in between.
  if (ending_ || PlayFileName != seek_.file || Timer1->isActive() || !Usable(StopX) ||
      ConvActive != 0) {
    return std::nullopt;
  }
  return seek_.mode;
}

}  // namespace calendo
