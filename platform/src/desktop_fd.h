// The desktop's descriptors: the project's owning descriptor.
#pragma once

#include "calendo/io.h"

namespace platform {

using calendo::UniqueFd;

}  // namespace platform
