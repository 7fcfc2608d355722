#pragma once

#include <string>
#include <string_view>

namespace wirelux::platform {

// Runs "netsh" (found through the search path) with the three arguments, both output pipes drained
// together, and returns its decoded standard output, or standard error when the output is blank.
// Empty text when the program cannot be started.
std::string run_netsh(std::string_view arg1, std::string_view arg2, std::string_view arg3);

// Picks between the two decoded streams as run_netsh does.
std::string choose_command_text(std::string_view stdout_bytes, std::string_view stderr_bytes);

} // namespace wirelux::platform
