#include "desktop/file_size_limit.h"

#include <csignal>

namespace calendo {

void TreatFileSizeLimitAsFullDisk() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace calendo
