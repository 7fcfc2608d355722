#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wirelux::platform {

// The current working directory as text (what is not valid text replaced), for showing it; absent when
// it cannot be determined. Files in it are written and opened by their native names below.
std::optional<std::string> current_directory();

// The directory joined with a file name by the platform's separator.
std::string join_path(std::string_view directory, std::string_view file_name);

// Creates or truncates the file and writes all bytes. A relative path is taken from the current
// directory as the system names it, whatever its name. Returns the operating system's error text on
// failure, nothing on success.
std::optional<std::string> write_whole_file(std::string_view path, std::string_view bytes);

// Opens the named file of the current directory with the system's default handler, by its full native
// path, without waiting; failure is ignored.
void open_in_current_directory(std::string_view file_name);

} // namespace wirelux::platform
