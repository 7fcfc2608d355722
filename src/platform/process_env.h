#pragma once
// The process's own command line, environment and host.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform {

// The command line split into tokens, the program name first (Windows: GetCommandLineW split by the
// Windows rules; elsewhere: argv as given to main, which the caller records first).
std::vector<std::string> command_line_tokens();
void record_main_arguments(int argc, char** argv);

// Splits a Windows command line the way CommandLineToArgvW does.
std::vector<std::string> split_windows_command_line(std::string_view line);

// An environment variable counts as set when present with a value that is valid Unicode
// (the empty value included); otherwise absent.
std::optional<std::string> environment_variable(std::string_view name);

// Logical processors; 0 when unknown.
unsigned logical_processor_count();

// The machine's host name; absent when it cannot be read.
std::optional<std::string> host_name();

// The user interface language id (Windows LANGID); 0 where there is none.
unsigned ui_language();

// The text of the os-release file; absent where there is none.
std::optional<std::string> os_release_text();

} // namespace wirelux::platform
