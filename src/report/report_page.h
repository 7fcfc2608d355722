#pragma once

#include "facts/snapshot.h"

#include <string>

namespace wirelux {

// The self-contained HTML page of the report.
std::string render_report(const FactSnapshot& snapshot);

} // namespace wirelux
