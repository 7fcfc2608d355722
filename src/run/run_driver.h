#pragma once

#include <string>
#include <vector>

namespace wirelux {

// Whether the progress meter is drawn, from the switch, the environment and the terminal test.
bool decide_progress(const std::vector<std::string>& tokens, bool no_progress_env, bool stderr_terminal,
                     bool force_env);

// One whole run; returns the exit status (always 0 once it reaches the end).
int run_wirelux();

} // namespace wirelux
