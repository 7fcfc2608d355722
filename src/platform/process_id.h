#pragma once

#include <cstdint>

namespace wirelux::platform {

// The id of this process as the system numbers it.
std::uint32_t current_process_id();

} // namespace wirelux::platform
