#include "output_names.h"

#include <filesystem>
#include <system_error>

namespace calendo::tool {
namespace {

namespace fs = std::filesystem;

// One spelling for every path of the same file: a/../out/x.wav is out/x.wav.
std::string Key(const std::string& path) {
  std::error_code error;
  fs::path key = fs::weakly_canonical(path, error);
  if (error) key = fs::absolute(path, error).lexically_normal();
  return key.string();
}

}  // namespace

OutputNames::OutputNames(const std::vector<std::string>& sources) {
  for (const std::string& source : sources) sources_.insert(Key(source));
}

bool OutputNames::Free(const std::string& source_key, const std::string& path) const {
  const std::string key = Key(path);
  // A source that is its own output is refused by the conversion itself.
  if (key != source_key && sources_.count(key) != 0) return false;
  return claimed_.count(key) == 0;
}

OutputName OutputNames::Claim(const std::string& source, const std::string& wanted,
                              AudioFormat format) {
  const std::string source_key = Key(source);
  const std::string extension = std::string(".") + FormatName(format);
  const fs::path folder = fs::path(wanted).parent_path();
  OutputName name{wanted, {}};
  if (!Free(source_key, wanted)) {
    name.instead_of = wanted;
    name.path = (folder / (fs::path(source).filename().string() + extension)).string();
    const std::string stem = fs::path(wanted).stem().string();
    for (unsigned number = 2; !Free(source_key, name.path); ++number)
      name.path = (folder / (stem + "-" + std::to_string(number) + extension)).string();
  }
  claimed_.insert(Key(name.path));
  return name;
}

}  // namespace calendo::tool
