// The report of a rescue run: a table for the terminal and the same as JSON.
#pragma once

#include <string>

#include "rescue_run.h"

namespace calendo::rescue {

std::string report_table(const RescueReport& report);
std::string report_json(const RescueReport& report);

}  // namespace calendo::rescue
