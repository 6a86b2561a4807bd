#include "libraries.h"
#include "calendo/client/binding.h"

namespace calendo::tool {
namespace {

std::string& Folder() {
  static std::string folder;
  return folder;
}

}  // namespace

void UseLibrariesBesideProgram() {
  // Without /proc the loader's own search (the program's RUNPATH) still applies.
  Folder() = binding::LibraryDirectoryBesideProgram();
  if (!Folder().empty()) binding::SetLibraryDirectory(Folder());
}

const std::string& LibraryFolder() {
  return Folder();
}

}  // namespace calendo::tool
