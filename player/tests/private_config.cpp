// Every test of this program, and every player process it starts, keeps its
// settings in a folder of its own, never in the user's: XDG_CONFIG_HOME
// points at a fresh temporary folder before any test runs, and the folder
// goes when the program ends.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class PrivateConfigFolder {
 public:
  PrivateConfigFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "calendo-config-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();  // no test may reach the user's folder
    path_ = pattern;
    owner_ = getpid();
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
  }
  ~PrivateConfigFolder() {
    if (getpid() != owner_) return;  // a forked child that ends leaves it to its parent
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

 private:
  std::string path_;
  pid_t owner_ = 0;
};

const PrivateConfigFolder private_config_folder;

}  // namespace
