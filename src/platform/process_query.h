#pragma once
// Who a process is: its full image path and its command line, asked of the system by process id.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wirelux::platform {

// Both texts are empty when the process cannot be opened or has ended; each is empty on its own when
// only that query fails.
struct ProcessIdentity {
    std::string image_path;
    std::string command_line;
    std::string working_directory; // empty where the system does not expose another process's
};

ProcessIdentity query_process(std::uint32_t pid);

// --- Conversions of what the system returns, kept apart from the calls so they can be tested anywhere.

// The arguments of a /proc/<pid>/cmdline read (each ended by a zero byte) as one line: arguments joined
// by single spaces, an argument that is empty or holds white space or a double quote written in double
// quotes by the Windows quoting rules, so that the line reads like a Windows command line and splits
// back into the same arguments. Trailing zero bytes only end arguments (some processes pad their
// rewritten title with zeros). Invalid UTF-8 is replaced.
std::string command_line_from_proc_cmdline(std::string_view bytes);

// The image path from the text of the /proc/<pid>/exe link. The kernel appends " (deleted)" once the
// file is unlinked; that suffix is dropped when no file exists under the link text as written, so a
// file really named "x (deleted)" keeps its name. Invalid UTF-8 is replaced.
std::string image_path_from_exe_link(std::string_view link_text, bool link_text_names_a_file);

// A 64-bit UNICODE_STRING header read from a byte buffer.
struct CountedString {
    std::uint16_t length_bytes = 0;
    std::uint64_t address = 0;
};

// The header at offset; absent when the buffer is too short.
std::optional<CountedString> read_counted_string(std::string_view bytes, std::size_t offset);

// A little-endian 64-bit pointer at offset; absent when the buffer is too short.
std::optional<std::uint64_t> read_pointer(std::string_view bytes, std::size_t offset);

// UTF-16LE bytes as UTF-8, trailing zero units dropped, unpaired surrogates replaced.
std::string text_from_utf16le(std::string_view bytes);

// The text of a buffer that starts with a counted string whose characters lie in the same buffer (the
// command-line information class returns this shape); buffer_address is where the buffer lives. Empty
// when the characters do not lie wholly inside the buffer.
std::string counted_string_in_buffer(std::string_view buffer, std::uint64_t buffer_address);

} // namespace wirelux::platform
