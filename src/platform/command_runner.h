#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform {

// A child gets this long to finish and may write this much; a hung or flooding child must not stop
// the run. netsh answers in well under a second on a healthy machine.
inline constexpr unsigned kCommandTimeoutMs = 10000;
inline constexpr std::size_t kCommandOutputCap = std::size_t{4} << 20;

struct CommandOutput {
    std::string out; // raw bytes of standard output
    std::string err; // raw bytes of standard error
};

// Runs the program with the arguments, standard input from the null device and both output pipes
// drained together. A bare name is a system program: on Windows it is started by its full path in the
// system directory, never searched for; on Linux it is looked up in the absolute PATH entries. Absent when it cannot be started, does not finish
// within the time-out or writes more than the cap to either stream; such a child is ended, with what
// it started itself where the system allows.
std::optional<CommandOutput> run_program(const std::string& program, const std::vector<std::string>& args,
                                         unsigned timeout_ms, std::size_t output_cap);

// Runs "netsh" with the three arguments within the limits above and returns its decoded standard
// output, or standard error when the output is blank. Empty text when the program cannot be started
// or waited for.
std::string run_netsh(std::string_view arg1, std::string_view arg2, std::string_view arg3);

// Picks between the two decoded streams as run_netsh does. Output that is not UTF-8 is read in the
// code page of the console a child is given (decode_console_code_page).
std::string choose_command_text(std::string_view stdout_bytes, std::string_view stderr_bytes);

// Bytes in the given code page as UTF-8 (Windows' own conversion); absent where there is no such
// conversion or it fails.
std::optional<std::string> decode_code_page(std::string_view bytes, unsigned code_page);

// Bytes in the code page of the new console a child started without a window gets (the OEM code page
// on Windows, not the UTF-8 one this program sets for its own console); absent elsewhere.
std::optional<std::string> decode_console_code_page(std::string_view bytes);

} // namespace wirelux::platform
