#pragma once
// Child processes started through the executable search path.

#include <optional>
#include <string>
#include <vector>

namespace wirelux::platform {

struct CapturedOutput {
    std::string out;
    std::string err;
    int exit_code = -1;
};

// The first executable called name in PATH, as a full path; entries that are not absolute (the
// current directory, written as an empty entry or ".") are not searched. Absent when there is none.
std::optional<std::string> find_in_path(const std::string& name);

// Runs the program with standard input from /dev/null and both output streams drained together
// until end of file, then waits for it to end; the time-out bounds both. The child leads a process
// group of its own; when the time-out passes or either stream exceeds the cap, that whole group is
// killed (so a grandchild holding a pipe open cannot keep the reader waiting) and the result is
// absent. Absent too when it cannot be started.
std::optional<CapturedOutput> run_and_capture(const std::string& program,
                                              const std::vector<std::string>& args, unsigned timeout_ms,
                                              std::size_t output_cap);

// Starts the program in a session of its own with all standard streams on /dev/null and does not
// wait for it. False when it cannot be started.
bool spawn_detached(const std::string& program, const std::vector<std::string>& args);

} // namespace wirelux::platform
