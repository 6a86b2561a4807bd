// Working through a long recording: go to a typed time, loop a stretch, step
// by small and large amounts, and copy the heard time as a stamp.
//
//   Ctrl+G             go to a typed time (or a pasted stamp)
//   L                  loop start, loop end, no loop
//   Shift+Left/Right   1 s back/forward
//   Ctrl+Left/Right    30 s back/forward
//   Ctrl+T             copy the heard time as a stamp
//
// Every one of them acts only while the slider is at hand (a file is open and
// no conversion runs), and moves by the slider's pages as Left and Right do,
// so that a playback goes on from the new page in the mode that played.
#include <QActionGroup>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QShortcut>

#include "window/form1.h"

namespace calendo {
namespace {

constexpr int32_t kShortStepMs = 1000;
constexpr int32_t kLongStepMs = 30000;

struct GoTexts {
  const char* menu;
  const char* go_to;
  const char* loop;
  const char* copy;
  const char* stamp_form;
  const char* wall_clock;
  const char* prompt;
  const char* not_a_time;  // %1 the text
  const char* past_end;    // %1 the time asked for, %2 the length
};

constexpr GoTexts kGoJapanese = {
    "移動",
    "時間を指定して移動…\tCtrl+G",
    "ループの開始 / 終了 / 解除\tL",
    "聞いている時間をコピー\tCtrl+T",
    "コピーする時間の形式",
    "録音時刻 [yyyy-MM-dd hh:mm:ss]",
    "移動先の時間 (1:02:03、62:03、3723 または [01:02:03]):",
    "「%1」は時間として読めません。1:02:03、62:03、3723 のように入力してください。",
    "%1 は録音の終わり (%2) より後です。"};
constexpr GoTexts kGoEnglish = {"Go",
                                "Go to time…\tCtrl+G",
                                "Loop start / end / off\tL",
                                "Copy heard time\tCtrl+T",
                                "Copied time form",
                                "Recording clock [yyyy-MM-dd hh:mm:ss]",
                                "Go to (1:02:03, 62:03, 3723 or [01:02:03]):",
                                "\"%1\" is not a time. Type it as 1:02:03, 62:03 or 3723.",
                                "%1 lies past the end of the recording (%2)."};

bool Usable(const QWidget* control) {
  return control->isEnabled() && !control->isHidden();
}

}  // namespace

void Form1::CreateGoMenu() {
  const GoTexts& texts = lang_code_ == "J" ? kGoJapanese : kGoEnglish;
  GoMenu = menuBar()->addMenu(QString::fromUtf8(texts.menu));
  connect(GoMenu->addAction(QString::fromUtf8(texts.go_to)), &QAction::triggered, this,
          [this] { RunHandler([this] { GoToTyped(); }); });
  connect(GoMenu->addAction(QString::fromUtf8(texts.loop)), &QAction::triggered, this,
          [this] { RunHandler([this] { MarkLoop(); }); });
  connect(GoMenu->addAction(QString::fromUtf8(texts.copy)), &QAction::triggered, this,
          [this] { RunHandler([this] { CopyTimeStamp(); }); });
  QMenu* forms = GoMenu->addMenu(QString::fromUtf8(texts.stamp_form));
  auto* group = new QActionGroup(this);
  for (int32_t i = 0; i < kStampFormCount; ++i) {
    const auto form = static_cast<StampForm>(i);
    const QString caption = form == StampForm::seconds  ? QStringLiteral("[hh:mm:ss]")
                            : form == StampForm::tenths ? QStringLiteral("[hh:mm:ss.t]")
                                                        : QString::fromUtf8(texts.wall_clock);
    QAction* action = forms->addAction(caption);
    action->setCheckable(true);
    action->setChecked(form == stamp_form_);
    group->addAction(action);
    stamp_actions_.push_back(action);
    connect(action, &QAction::triggered, this,
            [this, form] { RunHandler([this, form] { SetTimeStampForm(form); }); });
  }
}

void Form1::SetUpGoKeys() {
  for (const QKeyCombination key :
       {QKeyCombination(Qt::CTRL, Qt::Key_G), QKeyCombination(Qt::CTRL, Qt::Key_T),
        QKeyCombination(Qt::Key_L), QKeyCombination(Qt::SHIFT, Qt::Key_Left),
        QKeyCombination(Qt::SHIFT, Qt::Key_Right), QKeyCombination(Qt::CTRL, Qt::Key_Left),
        QKeyCombination(Qt::CTRL, Qt::Key_Right)}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    // Steps repeat while held; the others act once per press.
    shortcut->setAutoRepeat(key.key() == Qt::Key_Left || key.key() == Qt::Key_Right);
    connect(shortcut, &QShortcut::activated, this,
            [this, key] { RunHandler([this, key] { Form_KeyDown(key); }); });
  }
  connect(PlaySlider, &QSlider::valueChanged, this, [this](int page) { FollowLoop(page); });
}

bool Form1::GoKeyDown(QKeyCombination key) {
  const Qt::KeyboardModifiers modifiers = key.keyboardModifiers();
  const bool ctrl = modifiers == Qt::ControlModifier;
  const bool shift = modifiers == Qt::ShiftModifier;
  switch (key.key()) {
    case Qt::Key_G:
      if (!ctrl) return false;
      GoToTyped();
      return true;
    case Qt::Key_T:
      if (!ctrl) return false;
      CopyTimeStamp();
      return true;
    case Qt::Key_L:
      if (modifiers != Qt::NoModifier) return false;
      MarkLoop();
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      if (!ctrl && !shift) return false;
      const int32_t step = ctrl ? kLongStepMs : kShortStepMs;
      MoveToTime(SliderTimeMs() + (key.key() == Qt::Key_Left ? -step : step));
      return true;
    }
    default:
      return false;
  }
}

int32_t Form1::PageTimeMs(int32_t page) const {
  if (page <= 0 || page >= static_cast<int32_t>(SplpTable.size())) return 0;
  return imports::get_time(SplpTable.data(), static_cast<uint32_t>(page),
                           static_cast<int32_t>(Splp.page_ms[0]),
                           static_cast<int32_t>(Splp.page_ms[1]));
}

void Form1::GoToTyped() {
  if (!Usable(PlaySlider) || ConvActive != 0) return;
  const GoTexts& texts = lang_code_ == "J" ? kGoJapanese : kGoEnglish;
  // The sound holds still while the question is open, and goes on unchanged
  // when it is cancelled or refused.
  const bool hold = PlayActive != 0 && !paused_;
  if (hold) imports::WavPause(1);
  const std::optional<QString> answer =
      host_.AskText(QString::fromUtf8(texts.prompt), MsgText[kMsgTitle]);
  const auto release = [&] {
    if (hold && PlayActive != 0 && !paused_) imports::WavPause(0);
  };
  // The window may have changed while it asked (a hand-off, a conversion).
  if (!answer || !Usable(PlaySlider) || ConvActive != 0) {
    release();
    return;
  }

  std::optional<int64_t> ms = ParseTypedTime(*answer);
  if (!ms) {
    if (const std::optional<QDateTime> wall = ParseWallClockStamp(*answer)) {
      ms = QFileInfo(PlayFileName).lastModified().msecsTo(*wall);
    }
  }
  if (!ms || *ms < 0) {
    host_.MsgBox(QString::fromUtf8(texts.not_a_time).arg(answer->trimmed()),
                 platform::kMbIconExclamation, MsgText[kMsgTitle]);
    release();
    return;
  }
  if (!GoToTime(*ms)) {
    host_.MsgBox(
        QString::fromUtf8(texts.past_end)
            .arg(StampText(StampForm::seconds, *ms, {}).mid(1).chopped(1),
                 StampText(StampForm::seconds, PageTimeMs(PageCount - 1), {}).mid(1).chopped(1)),
        platform::kMbIconExclamation, MsgText[kMsgTitle]);
    release();
  }
}

bool Form1::GoToTime(int64_t ms) {
  const int32_t last = PageCount - 1;
  if (last < 0 || static_cast<int32_t>(SplpTable.size()) <= last) return false;
  if (ms > PageTimeMs(last)) return false;
  // The first page at or past `ms`: the label then shows the time asked for.
  int32_t low = 0;
  int32_t high = last;
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    if (PageTimeMs(middle) < ms) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  MoveToPage(low);
  return true;
}

void Form1::MarkLoop() {
  if (!Usable(PlaySlider) || ConvActive != 0) return;
  const int32_t page = PlaySlider->value();
  if (loop_.file != PlayFileName || !loop_.start || loop_.end) {
    if (loop_.file == PlayFileName && loop_.end) {
      loop_ = {PlayFileName, std::nullopt, std::nullopt, page};  // the third press
    } else {
      loop_ = {PlayFileName, page, std::nullopt, page};
    }
    return;
  }
  if (page == *loop_.start) return;  // a loop of no length would only stutter
  // Marked backward, the marks are taken in order.
  loop_.end = std::max(page, *loop_.start);
  loop_.start = std::min(page, *loop_.start);
}

std::optional<std::pair<int32_t, int32_t>> Form1::LoopPages() const {
  if (loop_.file != PlayFileName || !loop_.start || !loop_.end) return std::nullopt;
  return std::make_pair(*loop_.start, *loop_.end);
}

std::optional<int32_t> Form1::LoopStartMark() const {
  if (loop_.file != PlayFileName) return std::nullopt;
  return loop_.start;
}

// The loop repeats when the page heard comes to its end from before it, in
// play or cue; a move past the end (a key, the slider) leaves the loop.
void Form1::FollowLoop(int32_t page) {
  const int32_t before = loop_.last_seen;
  loop_.last_seen = page;
  const std::optional<std::pair<int32_t, int32_t>> loop = LoopPages();
  if (!loop || PlayActive == 0 || paused_ || ConvActive != 0 || Timer1->isActive()) return;
  if (PlayingMode() < 0 || before >= loop->second || page < loop->second) return;
  // Moved from the event processing after this change, not inside the
  // playback's own step that made it.
  QMetaObject::invokeMethod(
      this, [this] { RunHandler([this] { RepeatLoop(); }); }, Qt::QueuedConnection);
}

void Form1::RepeatLoop() {
  const std::optional<std::pair<int32_t, int32_t>> loop = LoopPages();
  if (!loop || PlayActive == 0 || paused_ || ConvActive != 0) return;
  // With a rewind on resume, each repeat starts that much before the loop.
  if (rewind_seconds_ > 0) {
    MoveToTime(PageTimeMs(loop->first) - rewind_seconds_ * 1000);
  } else {
    MoveToPage(loop->first);
  }
}

void Form1::CopyTimeStamp() {
  if (!Usable(PlaySlider) || ConvActive != 0) return;
  const QDateTime recorded =
      stamp_form_ == StampForm::wall_clock ? QFileInfo(PlayFileName).lastModified() : QDateTime();
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(StampText(stamp_form_, SliderTimeMs(), recorded));
  }
}

void Form1::SetTimeStampForm(StampForm form) {
  const auto index = static_cast<int32_t>(form);
  if (index < 0 || index >= kStampFormCount) return;
  stamp_form_ = form;
  stamp_actions_[static_cast<std::size_t>(index)]->setChecked(true);
}

}  // namespace calendo
