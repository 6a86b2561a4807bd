// Form1: the player's one window, its variables and shared procedures, its
// start-up and shut-down.
//
// Controls, variables, handlers and procedures carry the system's own names
// (PlayX, PlayFileName, EXITX_Click, ComControl, …). Controls stand where the
// design puts them, in twips at 15 twips per pixel; some are parked below the
// client area, where they exist but are never seen.
//
// Everything runs on the window thread. Handlers are entered from Qt's events
// through RunHandler, which gives a run-time error its default handling; the
// loops of playback and conversion let other handlers run inside them through
// the EventPump and talk to them only through the flags below.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>

#include "calendo/client/imports.h"
#include "calendo/client/runtime_error.h"
#include "desktop/cls_drive.h"
#include "desktop/handoff_desktop_window.h"
#include "pedal/pedal_transport.h"
#include "qt/common_dialog.h"
#include "qt/event_pump.h"
#include "qt/host.h"
#include "settings/kept_settings.h"
#include "settings/key_map.h"
#include "window/msg_text.h"
#include "window/time_stamp.h"

namespace calendo {

class OverviewAnalysis;
class PedalReader;
class PlaybackSkip;
class WaveformStrip;

// Flags of the window: 0 = false, -1 = true.
inline constexpr int16_t kFalse = 0;
inline constexpr int16_t kTrue = -1;

// The title of the program, also when the message table is not filled yet.
inline constexpr char kProgramTitle[] = "Calendo";

// ComControl's ten flags, two per button (enabled, visible) in the order
// PlayX, CueX, RevX, StopX, Cancelx. 0 sets the property, anything else clears it.
using ButtonFlags = std::array<uint8_t, 10>;
inline constexpr ButtonFlags READY = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
inline constexpr ButtonFlags NO_FILE = {1, 0, 1, 0, 1, 0, 1, 0, 1, 1};
inline constexpr ButtonFlags CONVERTING = {1, 1, 1, 1, 1, 1, 1, 1, 0, 0};

// Pixels of a length in twips.
constexpr int PixelsFromTwips(double twips) {
  return static_cast<int>(twips / 15.0 + (twips < 0 ? -0.5 : 0.5));
}

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  // `lang_code` picks the column of the message table; the program passes the
  // build's LangCode, tests may pass the other one.
  Form1(Host& host, EventPump& pump, std::string_view lang_code = LangCode,
        QWidget* parent = nullptr);
  ~Form1() override;

  // ---- Controls ------------------------------------------------------------
  QLabel* PlayTimeLabel = nullptr;
  QSlider* PlaySlider = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* PlayX = nullptr;
  QPushButton* StopX = nullptr;
  QPushButton* CueX = nullptr;
  QPushButton* Cancelx = nullptr;
  QPushButton* RevX = nullptr;
  QPushButton* EXITX = nullptr;
  QPushButton* TestWavPlay = nullptr;  // parked
  QLineEdit* Text1 = nullptr;          // parked
  QLineEdit* DecFilename = nullptr;    // parked
  QLabel* Label1 = nullptr;            // parked
  QLabel* Label2 = nullptr;            // parked
  std::array<QLabel*, 4> Image1{};     // parked
  QTimer* Timer1 = nullptr;
  CommonDialog CommonDialog1;

  QMenu* F1 = nullptr;
  QAction* M_fileopen = nullptr;
  QMenu* M_transwav = nullptr;  // its item in F1 is M_transwav->menuAction()
  QAction* Trans_wav8bit = nullptr;
  QAction* Trans_wav16bit = nullptr;
  QAction* sepa1 = nullptr;
  QAction* EXIT0 = nullptr;

  // The area below the menu bar that holds the controls.
  QWidget* ClientArea() const { return client_; }

  // ---- Window variables ----------------------------------------------------
  QString PlayFileName;  // the open recorder file; empty after a failed open
  int16_t FileKind = 0;  // 0 vqr, 1 vqm
  SplpInfo Splp{};
  int32_t PageCount = 0;
  // One entry per page of the open file, and one more.
  std::vector<uint8_t> SplpTable;
  int16_t PlayMode = 0;  // 0 play, 1 cue, -1 review
  int32_t StartPage = 0;
  int32_t TimeMs = 0;
  QString NowTimeText;
  QString TotalTimeText;
  MsgTable MsgText;
  QString OpenErrText;
  QString MsgAnswer;
  int16_t PlayActive = 0;  // 1 while the playback loop may run
  int16_t OpenPending = kFalse;
  int16_t OpenFailed = kFalse;
  int16_t PageStatus = 0;
  int16_t ConvActive = 0;  // 1 while a conversion runs
  QString ConvFileName;
  // The temporary files the running conversions write beside ConvFileName,
  // each renamed to its final name once complete; the exits remove them.
  std::vector<std::string> conversion_temp_files;

  // ---- Shared procedures ---------------------------------------------------
  // Sets enabled and visible of PlayX, CueX, RevX, StopX and Cancelx.
  void ComControl(const ButtonFlags& flags);
  // Returns once `seconds` have passed on a monotonic clock, running the
  // window's events meanwhile.
  void Wait(float seconds);
  // Shows the time up to `page` (clamped to 0 and beyond, in the caller's
  // variable too) against the total time in PlayTimeLabel.
  void TimeDisplay(int32_t& page);

  // ---- File opening, playback, transport, slider and timer -----------------
  void M_fileopen_Click();
  void PlayX_Click();
  void CueX_Click();
  void RevX_Click();
  void StopX_Click();
  void Cancelx_Click();
  void PlaySlider_MouseDown();
  void Timer1_Timer();
  // Plays `fileName` from the slider's page (written to startPage) in `mode`:
  // 0 play, 1 cue (double speed), -1 review (double speed, pages backward).
  // Returns when that playback has ended, however it ended; result is 0.
  void DecodePlayX(const QString& fileName, int32_t& startPage, int16_t& mode, int16_t& result);

  // ---- Conversion to WAV ---------------------------------------------------
  void Trans_wav8bit_Click();
  void Trans_wav16bit_Click();
  // Converts the open recorder file `source` into the WAV file `dest`, `format`
  // 1 for 8-bit and 2 for 16-bit samples, showing its progress; Cancel stops it
  // at the next checkpoint. Sets `result` to 0 and returns 0.
  int16_t TransVqrWav(QString source, QString dest, int16_t format, int16_t& result);
  // `name` with its last three characters replaced by `ext`, unless they are
  // `ext` already (compared case-sensitively).
  static QString CrExstr(const QString& name, const QString& ext);
  // The file systems that DriveObj asks; a stand-in for tests. Takes effect
  // when DriveObj is made (start-up).
  void SetDriveSystem(const DriveSystem& system) { drive_system_ = &system; }

  // ---- Instance hand-off ---------------------------------------------------
  // Raised by the window's copy-data receiver with the text another start of
  // the program handed over.
  void MsgCtl_OnCopyData(int32_t first, const QString& text);
  // This window's handle on the user's desktop; 0 before start-up registered it.
  uint32_t DesktopHandle() const;

  // ---- WAV test playback ---------------------------------------------------
  void TestWavPlay_Click();

  // ---- Keyboard (form1_keys.cpp) -------------------------------------------
  // The window's keys; each acts only as its enabled, visible button would.
  // Form_KeyDown takes the default keys; the transport's keys as mapped
  // come to DoKeyAction.
  void Form_KeyDown(QKeyCombination key);
  void DoKeyAction(KeyAction action);
  // The transport's keys from now on `map`'s (KeepSettingsIn applies the
  // kept [keys] group).
  void ApplyKeyMap(const KeyMap& map);
  // Space: Play when stopped; pause and resume while playing.
  void PlayPause();
  // Play when stopped, resume when paused; Escape: Stop.
  void Play();
  void Stop();
  // Pause and resume alone; each does nothing unless a playback runs and is
  // not already in that state. Resuming starts RewindSeconds() earlier when
  // that is not 0.
  void Pause();
  void Resume();
  bool Paused() const { return paused_; }
  // The time the label shows at the slider's page.
  int32_t SliderTimeMs() const;
  // The slider to the page nearest to `ms`; a playback goes on from there.
  void MoveToTime(int32_t ms);

  // ---- Foot pedal (form1_pedal.cpp) ----------------------------------------
  // Starts reading the pedal that the settings name (pedal/device, by
  // default 05f3:00ff; "off" for none), looking for it every `rescan` while
  // it is absent. The reader must go before the window.
  std::unique_ptr<PedalReader> ListenToPedals(
      std::chrono::milliseconds rescan = std::chrono::seconds(2));
  // The pedals held now (kPedal* bits), on the window's thread.
  void TakePedals(uint8_t held);
  void DoPedalCommand(PedalCommand command);

  // ---- Speed and rewind on resume (form1_speed.cpp) ------------------------
  QMenu* SpeedMenu = nullptr;
  QMenu* RewindMenu = nullptr;  // its item sits in SpeedMenu
  // Tenths of the normal tempo, 5 to 20, at which play (not cue or review)
  // is heard, the pitch kept. A change while playing goes on at the new speed
  // from the page being heard.
  int32_t SpeedTenths() const { return speed_tenths_; }
  void SetSpeedTenths(int32_t tenths);
  // Seconds a resume after a pause goes back: 0 (off), 1, 2, 3 or 5.
  int32_t RewindSeconds() const { return rewind_seconds_; }
  void SetRewindSeconds(int32_t seconds);
  // Speed > Skip silence (form1_skip.cpp): each pause the overview found
  // plays 0.25 s long. Off by default; a playback goes on from the page heard
  // with the new choice.
  QAction* SkipSilence = nullptr;
  bool SkipsSilence() const { return skip_silence_; }
  void SetSkipSilence(bool on);

  // ---- Volume (form1_volume.cpp) -------------------------------------------
  QMenu* VolumeMenu = nullptr;
  // The gain of playback in dB: 0 (the default), 3, 6, 9 or 12; any other
  // value is ignored.
  int32_t VolumeDb() const { return volume_db_; }
  void SetVolumeDb(int32_t db);
  // Ctrl+Up (+1) and Ctrl+Down (-1): the next step up or down, if any.
  void StepVolume(int32_t direction);

  // ---- Loudness > Even (form1_loudness.cpp) --------------------------------
  // While checked, the whole recording plays at one gain that brings it to
  // -16 LUFS with its true peak under -1 dBTP, measured on the overview's
  // pass; off by default. Conversions are not affected.
  QMenu* LoudnessMenu = nullptr;
  QAction* EvenLoudness = nullptr;
  bool EvensLoudness() const { return even_loudness_; }
  void SetEvenLoudness(bool on);
  // The factor every played sample is multiplied by: the Volume's gain times
  // the Even gain (1 while it is off, not yet measured or for silence).
  double PlaybackGain() const;

  // ---- Waveform overview (form1_overview.cpp) ------------------------------
  // The strip below the buttons; View > Waveform shows it (the window grows
  // by it) or hides it (the window as designed).
  QMenu* ViewMenu = nullptr;
  QAction* ViewWaveform = nullptr;
  WaveformStrip* Overview = nullptr;
  OverviewAnalysis* OverviewWork = nullptr;
  // N: the slider to the start of the next stretch of speech; a playback
  // goes on from there.
  void NextUtterance();
  // ---- Go to, loop, steps and time stamps (form1_goto.cpp) -----------------
  // Each does nothing unless a file is open and no conversion runs.
  QMenu* GoMenu = nullptr;
  // Ctrl+G: asks for a time (or a copied stamp) and goes to it; a time past
  // the end is refused with a message and changes nothing.
  void GoToTyped();
  // The slider to the first page whose time is `ms` or later, a playback
  // going on from there; false (and nothing changed) past the end.
  bool GoToTime(int64_t ms);
  // L: the loop's start at the page heard, then its end, then no loop.
  void MarkLoop();
  // The loop's pages, first and last; nothing while no loop is complete.
  std::optional<std::pair<int32_t, int32_t>> LoopPages() const;
  std::optional<int32_t> LoopStartMark() const;
  // Ctrl+T: the heard time to the clipboard in the stamp form chosen.
  void CopyTimeStamp();
  StampForm TimeStampForm() const { return stamp_form_; }
  void SetTimeStampForm(StampForm form);

  // ---- Kept settings and File > Recent (form1_kept.cpp) --------------------
  // From now on the window keeps its settings, recent files and positions in
  // `settings`, and takes the kept ones now. Without a call it keeps nothing.
  void KeepSettingsIn(std::unique_ptr<KeptSettings> settings);
  KeptSettings* Kept() const { return kept_.get(); }
  QMenu* RecentMenu = nullptr;  // in F1 while settings are kept
  // File > Recent: opens and plays `path` as a hand-off does; a file no
  // longer there is said so and taken off the list.
  void OpenRecent(const QString& path);

  // ---- Start-up and shut-down ----------------------------------------------
  void Form_Load();
  void Form_Unload(int16_t& Cancel);
  void Form_Terminate();
  void EXITX_Click();
  void EXIT0_Click();

  // Runs an event handler. A run-time error that escapes it gets the default
  // handling: a message box "Run-time error 'N': …", the wave output stopped
  // and destroyed, the process ended. Once an exit has begun no handler runs.
  template <typename Handler>
  void RunHandler(Handler&& handler) {
    if (ending_) return;
    try {
      handler();
    } catch (const RuntimeError& error) {
      DefaultErrorHandling(error.number(), error.description());
    } catch (const std::bad_alloc&) {
      DefaultErrorHandling(kErrOutOfMemory, RuntimeError::StandardDescription(kErrOutOfMemory));
    } catch (const std::exception&) {
      DefaultErrorHandling(kErrInternal, RuntimeError::StandardDescription(kErrInternal));
    }
  }

  // Numbers of the run-time errors that Form_Load skipped, in order.
  const std::vector<int32_t>& LoadSkippedErrors() const { return load_skipped_; }

  Host& host() { return host_; }
  EventPump& pump() { return pump_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void CreateMenu();
  void ConnectHandlers();
  // Each part of the window connects its own controls.
  void ConnectPlaybackHandlers();
  void ConnectConversionHandlers();
  void ConnectTestWavHandlers();

  // Start-up steps that other parts of the program fill in.
  void HandOffToRunningPlayer();
  void CreateDriveObj();

  // Window geometry in twips, as the design and the start-up speak of it.
  void SetOuterHeightTwips(int twips);
  float ScaleHeightTwips() const;
  void SetTopTwips(QWidget* control, float twips);
  float TopTwips(const QWidget* control) const;

  // The exit sequence: hide, stop and destroy the wave output, wait 0.1 s,
  // remove the temporary file of an interrupted conversion, end.
  [[noreturn]] void EndProgram();

  // Stops and destroys the wave output, letting the window's events run
  // after each call.
  void ShutWaveOutput();
  // ShutWaveOutput, then a new wave output, the events run once more.
  void RecreateWaveOutput();
  [[noreturn]] void DefaultErrorHandling(int32_t number, const std::string& description);

  // ---- State of playback --------------------------------------------------
  friend class PlaybackRun;
  // The mode buttons: timer off, output stopped, then a playback in `mode`.
  void StartPlayback(int16_t mode);
  // Sizes SplpTable for PageCount pages and fills it from PlayFileName.
  void BuildSplpTable();
  // PageCount from Splp; false when the table could not be indexed that far.
  bool TakePageCount();
  // The clean-up of a refused open: no file, buttons NO FILE.
  void ForgetOpenFile();

  // ---- State of conversion -------------------------------------------------
  std::unique_ptr<clsDrive> DriveObj;  // made at start-up, kept for the process
  const DriveSystem* drive_system_ = &PlatformDriveSystem();
  // The steps of a conversion (conversion_*.cpp).
  void ConvertMenuCommand(int16_t format);
  void ShowConversionProgress(int32_t page, int32_t last_page, int16_t& label_phase);
  void EndConversion();
  class ConversionCheckpoints;  // the window's steps of the shared conversion

  // ---- State of speed and rewind (form1_speed.cpp) -------------------------
  static constexpr int32_t kNormalSpeedTenths = 10;
  void CreateSpeedMenu();
  // The menus' checks follow the settings, however they were changed.
  void CheckSpeedMenuItems();
  // The speed as the time label shows it after the time: "" at 1.0x.
  QString SpeedSuffix() const;
  void FitTimeLabel();
  int time_label_width_ = 0;  // as designed, once known
  int32_t speed_tenths_ = kNormalSpeedTenths;
  int32_t rewind_seconds_ = 0;
  std::vector<QAction*> speed_actions_;   // 0.5x to 2.0x
  std::vector<QAction*> rewind_actions_;  // off, 1, 2, 3, 5 s

  // ---- State of the volume (form1_volume.cpp) -----------------------------
  void CreateVolumeMenu();
  void CheckVolumeMenuItems();
  int32_t volume_db_ = 0;
  std::vector<QAction*> volume_actions_;  // 0 to +12 dB

  // ---- State of the even loudness (form1_loudness.cpp) ---------------------
  void CreateLoudnessMenu();
  bool even_loudness_ = false;

  // ---- State of skipping silence (form1_skip.cpp) --------------------------
  void CreateSkipSilenceItem();
  // What a playback in `mode` skips: null when the item is off or the
  // overview is not whole yet.
  std::unique_ptr<PlaybackSkip> SkipForPlayback(int16_t mode) const;
  bool skip_silence_ = false;

  // ---- State of the keyboard and of drops (form1_keys.cpp, form1_drop.cpp) -
  void SetUpKeyboard();
  void SetUpDrops();
  // The page nearest to the time `ms` (as the time label counts it).
  int32_t NearestPage(int32_t ms) const;
  // Left, Right and Home: the slider to `page`; a playback goes on from there.
  void MoveToPage(int32_t page);
  // The mode a playback that a key moved goes on in; nothing when no
  // playback waits to go on (or another command came in between).
  std::optional<int16_t> TakeSeekRestart();
  // The mode of the playback that runs, from the button it disabled.
  int16_t PlayingMode() const;
  std::vector<QShortcut*> action_shortcuts_;  // the key map's
  PedalTransport pedal_transport_;
  bool paused_ = false;                               // Space paused the wave output
  int32_t stream_speed_tenths_ = kNormalSpeedTenths;  // the speed of the playback that runs
  struct PendingSeek {
    bool pending = false;
    int16_t mode = 0;
    QString file;
  } seek_;

  // ---- State of the overview (form1_overview.cpp) --------------------------
  void CreateOverview();
  void ShowOverview(bool shown);
  // The strip's height while it shows, else 0.
  int OverviewHeight() const;
  // A file opened: its overview is measured anew; none open: nothing shows.
  void StartOverview();
  void ClearOverview();
  // ---- State of go to, loop and stamps (form1_goto.cpp) --------------------
  void CreateGoMenu();
  void SetUpGoKeys();
  // The keys of go to, loop, steps and stamps; false for any other key.
  bool GoKeyDown(QKeyCombination key);
  int32_t PageTimeMs(int32_t page) const;
  // A playback reached the loop's end: it goes on from the loop's start.
  void FollowLoop(int32_t page);
  void RepeatLoop();
  struct Loop {
    QString file;  // the file the marks belong to
    std::optional<int32_t> start;
    std::optional<int32_t> end;
    int32_t last_seen = 0;  // the slider's page before its latest change
  } loop_;
  StampForm stamp_form_ = StampForm::seconds;
  std::vector<QAction*> stamp_actions_;

  // ---- State of kept settings (form1_kept.cpp) -----------------------------
  void FillRecentMenu();
  // The folder the Open dialog shows first.
  QString OpenDialogFolder() const;
  // An open succeeded: the file goes to the list and the slider to the page
  // it was left at.
  void TookOpenedFile(bool from_dialog);
  // Another file is about to be opened: the position in this one is kept.
  void LeaveTrackedFile();
  void SaveKeptSettings();
  std::unique_ptr<KeptSettings> kept_;
  QString tracked_file_;  // absolute; empty while no position is followed
  int32_t tracked_page_ = 0;

  // ---- State of the hand-off -----------------------------------------------
  // The window on the user's desktop and its MsgCtl (handoff_desktop_window.h).
  std::unique_ptr<HandoffDesktopWindow> desktop_window_;
  // Sends the command line to `found`, brings it to the front and ends.
  [[noreturn]] void HandOffTo(uint32_t found);
  // Takes the window off the desktop, so that no later start finds it.
  void WithdrawFromDesktop();

  Host& host_;
  EventPump& pump_;
  std::string_view lang_code_;
  QWidget* client_ = nullptr;
  bool ending_ = false;
  std::vector<int32_t> load_skipped_;
};

}  // namespace calendo
