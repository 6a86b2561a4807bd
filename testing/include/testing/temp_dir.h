// The tests' temporary folder: a fresh folder under the system's temporary
// folder (TMPDIR, else /tmp), removed with everything in it when the object
// goes. Throws std::runtime_error when it cannot be made (this is test code).
#pragma once

#include <filesystem>
#include <string>

namespace testkit {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace testkit
