#include "settings/kept_settings.h"

#include <QDir>
#include <QStandardPaths>

namespace calendo {
namespace {

// Positions are kept as "page<TAB>path" lines, the latest first: a path is
// no INI key (it holds slashes, which the format takes for groups).
constexpr QChar kPositionSeparator = QLatin1Char('\t');

}  // namespace

QString KeptSettings::UserFilePath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
      .filePath(QStringLiteral("calendo/calendo.ini"));
}

std::unique_ptr<KeptSettings> KeptSettings::ForUser() {
  return InFile(UserFilePath());
}

std::unique_ptr<KeptSettings> KeptSettings::InFile(const QString& path) {
  return std::unique_ptr<KeptSettings>(
      new KeptSettings(std::make_unique<QSettings>(path, QSettings::IniFormat)));
}

std::unique_ptr<KeptSettings> KeptSettings::InMemory() {
  return std::unique_ptr<KeptSettings>(new KeptSettings(nullptr));
}

QVariant KeptSettings::Get(const char* key) const {
  const QString name = QString::fromLatin1(key);
  return file_ ? file_->value(name) : memory_.value(name);
}

void KeptSettings::Set(const char* key, const QVariant& value) {
  const QString name = QString::fromLatin1(key);
  if (file_) {
    file_->setValue(name, value);
  } else {
    memory_.insert(name, value);
  }
}

std::vector<std::pair<QString, QStringList>> KeptSettings::KeyEntries() const {
  std::vector<std::pair<QString, QStringList>> entries;
  if (!file_) return entries;
  file_->beginGroup(QStringLiteral("keys"));
  for (const QString& name : file_->childKeys()) {
    entries.emplace_back(name, file_->value(name).toStringList());
  }
  file_->endGroup();
  return entries;
}

std::optional<int32_t> KeptSettings::Number(const char* key) const {
  bool ok = false;
  const int value = Get(key).toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

// Only what the file itself writes counts: "true" or "false" (any other text
// would read as true through QVariant).
std::optional<bool> KeptSettings::Flag(const char* key) const {
  const QVariant value = Get(key);
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  const QString text = value.toString();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

QStringList KeptSettings::Recent() const {
  QStringList recent;
  for (const QString& path : Get("files/recent").toStringList()) {
    if (!path.isEmpty() && !recent.contains(path) && recent.size() < kRecentCount) {
      recent.push_back(path);
    }
  }
  return recent;
}

void KeptSettings::AddRecent(const QString& path) {
  QStringList recent = Recent();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentCount) recent.removeLast();
  Set("files/recent", recent);
}

void KeptSettings::RemoveRecent(const QString& path) {
  QStringList recent = Recent();
  recent.removeAll(path);
  Set("files/recent", recent);
}

std::optional<int32_t> KeptSettings::Position(const QString& path) const {
  for (const QString& line : Get("files/positions").toStringList()) {
    const qsizetype tab = line.indexOf(kPositionSeparator);
    if (tab <= 0 || line.mid(tab + 1) != path) continue;
    bool ok = false;
    const int page = line.left(tab).toInt(&ok);
    if (!ok || page < 0) return std::nullopt;
    return page;
  }
  return std::nullopt;
}

void KeptSettings::SetPosition(const QString& path, int32_t page) {
  QStringList kept;
  kept.push_back(QString::number(page) + kPositionSeparator + path);
  for (const QString& line : Get("files/positions").toStringList()) {
    const qsizetype tab = line.indexOf(kPositionSeparator);
    if (tab <= 0 || line.mid(tab + 1) == path) continue;
    if (kept.size() == kPositionCount) break;
    kept.push_back(line);
  }
  Set("files/positions", kept);
}

void KeptSettings::Sync() {
  if (file_) file_->sync();
}

}  // namespace calendo
