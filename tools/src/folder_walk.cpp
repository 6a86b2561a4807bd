#include "folder_walk.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "calendo/client/file_kind.h"

namespace calendo::tool {
namespace {

namespace fs = std::filesystem;

using FolderId = std::pair<dev_t, ino_t>;

bool IdOf(const fs::path& folder, FolderId& id) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return false;
  id = {info.st_dev, info.st_ino};
  return true;
}

class Walker {
 public:
  explicit Walker(FolderWalk& walk) : walk_(walk) {}

  void Avoid(const fs::path& folder) {
    FolderId id;
    if (IdOf(folder, id)) seen_.insert(id);
  }

  // `out` empty: the WAV files go beside their sources.
  void Walk(const fs::path& folder, const fs::path& out) {
    FolderId id;
    if (!IdOf(folder, id) || !seen_.insert(id).second) return;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    std::vector<fs::directory_entry> found;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error))
      found.push_back(*entries);
    if (error) {
      walk_.unreadable.push_back(
          {folder.string(),
           Fault{Failure::CannotRead, 0, "cannot be read: " + error.message(), error.value()}});
      return;
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.path().native() < b.path().native(); });
    std::vector<fs::path> subfolders;
    for (const fs::directory_entry& entry : found) {
      std::error_code ignored;
      const bool link = entry.is_symlink(ignored);
      if (!link && entry.is_directory(ignored)) {
        subfolders.push_back(entry.path());
      } else if (entry.is_regular_file(ignored) &&
                 RecorderContainerOfContent(entry.path().c_str())) {
        walk_.recordings.push_back({entry.path().string(), out.string()});
      } else {
        ++walk_.skipped;  // another file, a link to a folder, a FIFO, a device
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file(ignored) && (ext == ".vqr" || ext == ".vqm"))
          walk_.damaged.push_back(entry.path().string());
      }
    }
    for (const fs::path& sub : subfolders) Walk(sub, out.empty() ? out : out / sub.filename());
  }

 private:
  FolderWalk& walk_;
  std::set<FolderId> seen_;
};

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

}  // namespace

std::string FolderOutputName(const std::string& root) {
  fs::path path = fs::path(root).lexically_normal();
  if (!path.empty() && path.filename().empty()) path = path.parent_path();  // "a/b/"
  std::string name = path.filename().string();
  if (name.empty() || name == "." || name == "..") {
    std::error_code ignored;
    name = fs::weakly_canonical(root, ignored).filename().string();
  }
  return name.empty() ? "root" : name;
}

FolderWalk WalkFolders(const std::vector<std::string>& roots, const std::string& output) {
  FolderWalk walk;
  Walker walker(walk);
  if (!output.empty()) walker.Avoid(output);
  const auto folders = std::count_if(roots.begin(), roots.end(), IsFolder);
  for (const std::string& root : roots) {
    if (!IsFolder(root)) {
      walk.recordings.push_back({root, output});
      continue;
    }
    fs::path out;
    if (!output.empty())
      out = folders > 1 ? fs::path(output) / FolderOutputName(root) : fs::path(output);
    walker.Walk(root, out);
  }
  return walk;
}

}  // namespace calendo::tool
