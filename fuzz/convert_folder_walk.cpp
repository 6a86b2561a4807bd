// Builds a tree of folders from arbitrary bytes (names of any bytes, nested
// folders, recorder files and others, links to files and folders, FIFOs) and
// walks it as calendo-convert -r does. Traps when the walk misses a recorder
// file, finds one twice or finds something else, miscounts what it skips,
// or lays an output folder out otherwise than its source folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "folder_walk.h"
#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void check(bool holds) {
  if (!holds) __builtin_trap();
}

// A folder of this process's own, removed at exit.
fs::path scratch() {
  static const testkit::TempDir folder;
  return folder.path();
}

// A name of 1 to 8 bytes from the input; '/' and NUL cannot be in a name,
// and "." and ".." name other folders.
std::string TakeName(const uint8_t*& at, const uint8_t* end) {
  if (at == end) return {};
  char name[9] = {};  // room for ".." and the letter that changes it
  size_t length = 0;
  for (size_t wanted = 1 + *at++ % 8; length < wanted && at != end; ++length) {
    const char c = static_cast<char>(*at++);
    name[length] = c == '/' || c == '\0' ? '_' : c;
  }
  if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.'))
    name[length++] = 'x';
  return std::string(name, length);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path root = scratch() / "tree";
  const fs::path out = scratch() / "out";
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directory(root);

  std::vector<fs::path> folders = {root};  // real folders, walked
  std::vector<fs::path> entries;           // everything made, for links to point at
  std::set<std::string> recordings;        // what the walk must find
  size_t others = 0;                       // what it must skip
  const std::string vqr("OIFF\0\0\0\0WAVE rest", 17);
  const std::string vqm = "VQ_VOICE and more";

  const uint8_t* at = data;
  const uint8_t* end = data + size;
  for (int made = 0; at != end && made < 48; ++made) {
    const uint8_t op = *at++;
    const fs::path parent = folders[(op / 8) % folders.size()];
    const std::string name = TakeName(at, end);
    if (name.empty()) break;
    const fs::path path = parent / name;
    if (fs::exists(fs::symlink_status(path, ignored))) continue;
    switch (op % 8) {
      case 0:
      case 1:
        fs::create_directory(path, ignored);
        folders.push_back(path);
        break;
      case 2:
        WriteFile(path, vqr);
        recordings.insert(path.string());
        break;
      case 3:
        WriteFile(path, vqm);
        recordings.insert(path.string());
        break;
      case 4:
        WriteFile(path, name);  // anything else, however it is named
        ++others;
        break;
      case 5:
      case 6: {
        // A link to something made before (a folder, a file, itself).
        const fs::path target = entries.empty() ? path : entries[op / 8 % entries.size()];
        fs::create_symlink(target, path, ignored);
        struct stat info {};
        const bool to_recording = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                                  recordings.count(target.string()) != 0;
        if (to_recording) {
          recordings.insert(path.string());
        } else {
          ++others;
        }
        break;
      }
      case 7:
        if (::mkfifo(path.c_str(), 0600) != 0) continue;
        ++others;
        break;
    }
    entries.push_back(path);
  }

  const calendo::tool::FolderWalk walk = calendo::tool::WalkFolders({root.string()}, out.string());
  check(walk.unreadable.empty());
  check(walk.unreadable_files.empty());
  // Files named as recordings that are none count as damaged, not skipped.
  check(walk.skipped.size() + walk.damaged.size() == others);
  check(walk.recordings.size() == recordings.size());
  for (const calendo::tool::FoundRecording& found : walk.recordings) {
    check(recordings.count(found.source) == 1);
    const fs::path relative = fs::path(found.source).parent_path().lexically_relative(root);
    const fs::path expected = relative == "." ? out : out / relative;
    check(expected == fs::path(found.folder));
  }
  fs::remove_all(root, ignored);
  return 0;
}
