// The entries of a folder as the system names them, for the Open dialog.
//
// Qt's own folder listing leaves out every name that is not valid UTF-8, so a
// recording named in Latin-1 on an old card would not be listed at all. This
// listing reads the folder itself and gives each name in the form of
// FileNameFromBytes, bytes kept.
// Plain functions: any thread.
#pragma once

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

namespace calendo {

struct FolderEntry {
  QString name;  // FileNameFromBytes form
  bool folder = false;
};

// The folders and files of `folder` (a name in FileNameFromBytes form), hidden
// ones and "." and ".." left out, folders first, each part in the order of the
// names as shown. A link counts as what it points at; a broken one as a file.
// Nothing when the folder cannot be read.
std::optional<std::vector<FolderEntry>> ListFolder(const QString& folder);

// Whether `name` matches one of the wildcard patterns ("*.vqr"), letter case
// aside. No patterns match everything.
bool MatchesPatterns(const QString& name, const QStringList& patterns);

}  // namespace calendo
