#include "calendo/client/binding.h"

#include <dlfcn.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <utility>

#include "calendo/client/runtime_error.h"

namespace calendo::binding {
namespace {

struct Bindings {
  std::string directory;
  std::map<std::string, void*, std::less<>> libraries;  // library name → dlopen handle
  std::map<std::string, void*, std::less<>> exports;    // "library/export" → address
};

Bindings& State() {
  static Bindings bindings;
  return bindings;
}

void* LoadLibrary(Bindings& state, std::string_view library) {
  if (auto found = state.libraries.find(library); found != state.libraries.end()) {
    return found->second;
  }
  std::string file = LibraryFileName(library);
  if (!state.directory.empty()) file = state.directory + "/" + file;
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && state.directory.empty()) {
    // The program's RUNPATH names ../lib beside it, but a dlopen that a
    // sanitizer intercepts no longer sees the program's RUNPATH: look there
    // by path as well.
    if (const std::string beside = LibraryDirectoryBesideProgram(); !beside.empty()) {
      handle = dlopen((beside + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
  }
  if (handle == nullptr) {
    throw RuntimeError(kErrFileNotFound, "File not found: " + LibraryFileName(library));
  }
  state.libraries.emplace(std::string(library), handle);
  return handle;
}

}  // namespace

std::string PlatformSymbolName(std::string_view export_name) {
  std::string_view name = export_name;
  if (const auto at = name.rfind('@'); at != std::string_view::npos && at + 1 < name.size()) {
    bool digits = true;
    for (char c : name.substr(at + 1))
      digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (digits) name = name.substr(0, at);
  }
  if (name.size() > 1 && name.front() == '_') name.remove_prefix(1);
  return std::string(name);
}

std::string LibraryFileName(std::string_view library) {
  return "lib" + std::string(library) + ".so";
}

std::string LibraryDirectoryBesideProgram() {
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return (program.parent_path().parent_path() / "lib").string();
}

void SetLibraryDirectory(std::string directory) {
  Bindings& state = State();
  state.directory = std::move(directory);
  state.libraries.clear();
  state.exports.clear();
}

void* BindExport(std::string_view library, std::string_view export_name) {
  Bindings& state = State();
  std::string key = std::string(library) + "/" + std::string(export_name);
  if (auto found = state.exports.find(key); found != state.exports.end()) return found->second;
  void* handle = LoadLibrary(state, library);
  void* address = dlsym(handle, PlatformSymbolName(export_name).c_str());
  if (address == nullptr) {
    throw RuntimeError(
        kErrEntryPointNotFound,
        "Can't find entry point " + std::string(export_name) + " in " + LibraryFileName(library));
  }
  state.exports.emplace(std::move(key), address);
  return address;
}

}  // namespace calendo::binding
