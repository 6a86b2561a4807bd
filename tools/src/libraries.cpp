#include "libraries.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace calendo::tool {
namespace {

std::string& Folder() {
  static std::string folder;
  return folder;
}

}  // namespace

void UseLibrariesBesideProgram() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  // Without /proc the loader's own search (the program's RUNPATH) still applies.
  if (error) return;
  Folder() = (program.parent_path().parent_path() / "lib").string();
  binding::SetLibraryDirectory(Folder());
}

const std::string& LibraryFolder() {
  return Folder();
}

}  // namespace calendo::tool
