#include "platform/command_runner.h"

#include "linux/spawn.h"

namespace wirelux::platform {

std::optional<CommandOutput> run_program(const std::string& program, const std::vector<std::string>& args,
                                         unsigned timeout_ms, std::size_t output_cap) {
    const auto path = find_in_path(program);
    if (!path) return std::nullopt;
    auto captured = run_and_capture(*path, args, timeout_ms, output_cap);
    if (!captured) return std::nullopt;
    return CommandOutput{std::move(captured->out), std::move(captured->err)};
}

// Linux programs write UTF-8; there is no other code page to read them in.
std::optional<std::string> decode_code_page(std::string_view, unsigned) { return std::nullopt; }
std::optional<std::string> decode_console_code_page(std::string_view) { return std::nullopt; }

} // namespace wirelux::platform
