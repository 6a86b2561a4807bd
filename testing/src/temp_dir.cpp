#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

#include "testing/temp_dir.h"

namespace testkit {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "calendo-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("TempDir: cannot create " + pattern);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testkit
