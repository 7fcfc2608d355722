#include "platform/command_runner.h"

#include "linux/spawn.h"

namespace wirelux::platform {

std::string run_netsh(std::string_view arg1, std::string_view arg2, std::string_view arg3) {
    // Linux has no netsh; a program of that name on PATH (a test's stand-in, say) is still honoured.
    const auto program = find_in_path("netsh");
    if (!program) return {};
    const auto output = run_and_capture(*program, {std::string(arg1), std::string(arg2), std::string(arg3)});
    if (!output) return {};
    return choose_command_text(output->out, output->err);
}

} // namespace wirelux::platform
