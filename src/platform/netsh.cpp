#include "platform/command_runner.h"

namespace wirelux::platform {

std::string run_netsh(std::string_view arg1, std::string_view arg2, std::string_view arg3) {
    // On Linux there is no netsh; a program of that name on PATH (a test's stand-in, say) is still run.
    const auto output = run_program("netsh", {std::string(arg1), std::string(arg2), std::string(arg3)},
                                    kCommandTimeoutMs, kCommandOutputCap);
    if (!output) return {};
    return choose_command_text(output->out, output->err);
}

} // namespace wirelux::platform
