// The Windows command-line splitter (process command lines read from the system) and the quoting that
// turns a /proc cmdline into such a line. The input is read as cmdline bytes: arguments ended by NUL.
#include "common/harness.h"
#include "mihomo/core_config.h"
#include "platform/process_env.h"
#include "platform/process_query.h"
#include "util/utf.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    check(!platform::split_windows_command_line(input).empty(), "the program name is always a token");
    (void)command_line_option(input, "f");

    // The quoted line splits back into the arguments. The program name is read without escapes, as
    // Windows does, so the check covers names without quotes and backslashes.
    if (input.empty() || input.back() == '\0' || !is_valid_utf8(input)) return;
    std::vector<std::string> arguments;
    for (std::size_t start = 0;;) {
        const std::size_t end = input.find('\0', start);
        arguments.emplace_back(input.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (arguments.front().find_first_of("\"\\") != std::string::npos) return;
    const std::string line = platform::command_line_from_proc_cmdline(input);
    check(platform::split_windows_command_line(line) == arguments, "the quoted line splits into its arguments");
}

} // namespace wirelux::fuzz
