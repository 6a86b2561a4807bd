#include "folder_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "calendo/client/file_kind.h"
#include "calendo/io.h"

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

// .vqr or .vqm in any case.
bool NamedAsRecording(const fs::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".vqr" || ext == ".vqm";
}

class Walker {
 public:
  explicit Walker(FolderWalk& walk) : walk_(walk) {}

  void Avoid(const fs::path& folder) {
    FolderId id;
    if (IdOf(folder, id)) output_ = id;
  }

  // `out` empty: the WAV files go beside their sources.
  void Walk(const fs::path& folder, const fs::path& out) {
    FolderId id;
    if (!IdOf(folder, id)) {  // a path too long, a folder above that cannot be searched
      const std::error_code error(errno, std::generic_category());
      walk_.unreadable.push_back(
          {folder.string(),
           Fault{Failure::CannotRead, 0, "cannot be read: " + error.message(), error.value()}});
      return;
    }
    if (output_ && id == *output_) {
      walk_.output_inside = folder.string();
      return;
    }
    if (!seen_.insert(id).second) return;
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
      } else if (!entry.is_regular_file(ignored)) {
        walk_.skipped.push_back({entry.path().string(), link && entry.is_directory(ignored)
                                                            ? "a link to a folder"
                                                            : "not a regular file"});
      } else {
        Classify(entry.path(), out);
      }
    }
    for (const fs::path& sub : subfolders) Walk(sub, out.empty() ? out : out / sub.filename());
  }

 private:
  // A regular file (or a link to one): a recording, or why it is none.
  void Classify(const fs::path& file, const fs::path& out) {
    if (RecorderContainerOfContent(file.c_str())) {
      walk_.recordings.push_back({file.string(), out.string()});
      return;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      walk_.unreadable_files.push_back({file.string(), "cannot be read: " + system_text(errno)});
      return;
    }
    struct stat info {};
    const bool empty = ::fstat(fd, &info) == 0 && info.st_size == 0;
    ::close(fd);
    if (!NamedAsRecording(file)) {
      walk_.skipped.push_back({file.string(), "not a recorder file"});
    } else {
      walk_.damaged.push_back(
          {file.string(), empty ? "is empty" : "its start is not that of a recorder file"});
    }
  }

  FolderWalk& walk_;
  std::set<FolderId> seen_;
  std::optional<FolderId> output_;
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
