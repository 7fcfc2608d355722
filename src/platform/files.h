#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wirelux::platform {

// The current working directory; absent when it cannot be determined.
std::optional<std::string> current_directory();

// The directory joined with a file name by the platform's separator.
std::string join_path(std::string_view directory, std::string_view file_name);

// Creates or truncates the file and writes all bytes. Returns the operating system's error text on
// failure, nothing on success.
std::optional<std::string> write_whole_file(std::string_view path, std::string_view bytes);

// Opens the file with the system's default handler, without waiting; failure is ignored.
void open_with_default_handler(std::string_view path);

} // namespace wirelux::platform
