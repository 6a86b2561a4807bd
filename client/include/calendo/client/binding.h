// Run-time binding of the functions the programs import from the libraries.
//
// The player and calendo-convert link none of the libraries (tesmor,
// kestrune, sondrel, ravlet).
// Each imported function is an Import: the library's name, the export name as
// the libraries' documentation spells it ("_play_splpget@8", "WavCreate") and
// the function's C signature as its type. Calling an Import binds it at its
// first call: dlopen of lib<name>.so, dlsym of the platform's symbol name. A
// library that cannot be loaded raises RuntimeError 53, a missing export 453,
// both at the call, so that a procedure running with errors ignored skips just
// that statement. Bindings are cached; loaded libraries stay loaded.
//
// Threads: one thread per process (the player's window thread).
#pragma once

#include <string>
#include <string_view>

namespace calendo::binding {

// The ELF symbol of an export: the documented name without its leading
// underscore and its "@<argument bytes>" suffix ("_pb_exdata@20" → "pb_exdata");
// undecorated names stay as they are.
std::string PlatformSymbolName(std::string_view export_name);

// The file the library `library` is loaded from: lib<library>.so, found by the
// dynamic loader (the program's RUNPATH, $ORIGIN/../lib), or inside the
// directory set with SetLibraryDirectory.
std::string LibraryFileName(std::string_view library);

// <program folder>/../lib, where the program's RUNPATH points; empty when the
// program's own path cannot be read.
std::string LibraryDirectoryBesideProgram();

// Makes every later binding load its libraries from `directory` (empty: the
// loader's own search again) and forgets the bindings made so far. For tests.
void SetLibraryDirectory(std::string directory);

// The address of `export_name` in `library`, bound now or earlier. Raises
// RuntimeError 53 when the library cannot be loaded, 453 when it lacks the export.
void* BindExport(std::string_view library, std::string_view export_name);

template <typename Signature>
class Import;

// One imported function. Calling it binds it (first call) and calls through.
template <typename Result, typename... Args>
class Import<Result(Args...)> {
 public:
  using Signature = Result(Args...);

  constexpr Import(std::string_view library, std::string_view export_name)
      : library_(library), export_name_(export_name) {}

  constexpr std::string_view library() const { return library_; }
  constexpr std::string_view export_name() const { return export_name_; }

  Result operator()(Args... args) const {
    auto* function = reinterpret_cast<Signature*>(BindExport(library_, export_name_));
    return function(args...);
  }

 private:
  std::string_view library_;
  std::string_view export_name_;
};

}  // namespace calendo::binding
