// What the player keeps from one run to the next: speed, rewind on resume,
// skip silence, volume, even loudness, whether the waveform shows, the form of copied stamps, the
// Open dialog's last folder, the recent recordings and the position reached in each of them.
//
// Kept in calendo/calendo.ini under the XDG config folder, or only in memory
// for a run that must write nothing. Reads never fail: a missing or spoilt
// value reads as nothing, and the window keeps its own default.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantHash>

namespace calendo {

class KeptSettings {
 public:
  static constexpr int kRecentCount = 8;
  // Positions are kept for this many recordings, the latest played first.
  static constexpr int kPositionCount = 200;

  // The user's settings: $XDG_CONFIG_HOME/calendo/calendo.ini (~/.config
  // when XDG_CONFIG_HOME is not set).
  static std::unique_ptr<KeptSettings> ForUser();
  static QString UserFilePath();
  // Settings in the INI file `path`.
  static std::unique_ptr<KeptSettings> InFile(const QString& path);
  // Settings that last for this run only and are written nowhere.
  static std::unique_ptr<KeptSettings> InMemory();

  std::optional<int32_t> SpeedTenths() const { return Number("play/speed_tenths"); }
  void SetSpeedTenths(int32_t tenths) { Set("play/speed_tenths", tenths); }
  std::optional<int32_t> RewindSeconds() const { return Number("play/rewind_seconds"); }
  void SetRewindSeconds(int32_t seconds) { Set("play/rewind_seconds", seconds); }
  std::optional<int32_t> VolumeDb() const { return Number("play/volume_db"); }
  void SetVolumeDb(int32_t db) { Set("play/volume_db", db); }
  // Whether Speed > Skip silence and Loudness > Even are checked.
  std::optional<bool> SkipSilence() const { return Flag("play/skip_silence"); }
  void SetSkipSilence(bool on) { Set("play/skip_silence", on); }
  std::optional<bool> EvenLoudness() const { return Flag("play/even_loudness"); }
  void SetEvenLoudness(bool on) { Set("play/even_loudness", on); }
  // Whether View > Waveform shows the strip.
  std::optional<bool> WaveformShown() const { return Flag("view/waveform"); }
  void SetWaveformShown(bool shown) { Set("view/waveform", shown); }
  std::optional<int32_t> StampForm() const { return Number("stamps/form"); }
  void SetStampForm(int32_t form) { Set("stamps/form", form); }

  QString OpenFolder() const { return Get("files/open_folder").toString(); }
  void SetOpenFolder(const QString& folder) { Set("files/open_folder", folder); }

  // Absolute paths, the most recent first, at most kRecentCount.
  QStringList Recent() const;
  // `path` to the front of the list.
  void AddRecent(const QString& path);
  void RemoveRecent(const QString& path);

  // The page a recording was left at.
  std::optional<int32_t> Position(const QString& path) const;
  void SetPosition(const QString& path, int32_t page);

  // The [keys] group: each action's name with its value as a list of texts
  // (key_map.h reads them). Never written by the program; nothing in memory.
  std::vector<std::pair<QString, QStringList>> KeyEntries() const;
  // The foot pedal's "vendor:product" in hex (pedal_ids.h), or empty.
  QString PedalDevice() const { return Get("pedal/device").toString(); }
  void SetPedalDevice(const QString& device) { Set("pedal/device", device); }

  // Writes what changed to the file (nothing in memory).
  void Sync();

 private:
  explicit KeptSettings(std::unique_ptr<QSettings> file) : file_(std::move(file)) {}

  QVariant Get(const char* key) const;
  void Set(const char* key, const QVariant& value);
  std::optional<int32_t> Number(const char* key) const;
  std::optional<bool> Flag(const char* key) const;

  std::unique_ptr<QSettings> file_;  // null: in memory
  QVariantHash memory_;
};

}  // namespace calendo
