#pragma once

#include <chrono>

namespace wirelux::platform {

// Sleeps for the duration with the finest timer the system offers (the default Windows sleep is
// quantised to its ~15.6 ms tick).
void sleep_precisely(std::chrono::milliseconds duration);

} // namespace wirelux::platform
