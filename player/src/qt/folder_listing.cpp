#include "qt/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include <QCollator>
#include <QRegularExpression>

#include "qt/file_name_bytes.h"

namespace calendo {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsFolderEntry(DIR* dir, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat status {};
  return ::fstatat(::dirfd(dir), entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::optional<std::vector<FolderEntry>> ListFolder(const QString& folder) {
  const QByteArray path = FileNameBytes(folder.isEmpty() ? QStringLiteral(".") : folder);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(path.constData()));
  if (!dir) return std::nullopt;
  std::vector<FolderEntry> entries;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] == '.') continue;  // hidden, "." and ".."
    entries.push_back({FileNameFromBytes(QByteArrayView(entry->d_name, std::strlen(entry->d_name))),
                       IsFolderEntry(dir.get(), *entry)});
  }
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(entries.begin(), entries.end(), [&](const FolderEntry& a, const FolderEntry& b) {
    if (a.folder != b.folder) return a.folder;
    const int order = collator.compare(ShownFileName(a.name), ShownFileName(b.name));
    return order != 0 ? order < 0 : a.name < b.name;
  });
  return entries;
}

bool MatchesPatterns(const QString& name, const QStringList& patterns) {
  if (patterns.isEmpty()) return true;
  // Kept bytes are lone surrogates, which a regular expression does not take.
  const QString shown = ShownFileName(name);
  return std::any_of(patterns.begin(), patterns.end(), [&](const QString& pattern) {
    return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                              QRegularExpression::CaseInsensitiveOption)
        .match(shown)
        .hasMatch();
  });
}

}  // namespace calendo
