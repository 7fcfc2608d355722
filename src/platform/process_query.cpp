// Conversions behind the process identity query; no operating-system headers here.
#include "platform/process_query.h"

#include "util/utf.h"

namespace wirelux::platform {

namespace {

bool needs_quotes(std::string_view argument) {
    if (argument.empty()) return true;
    for (const char c : argument)
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '"')
            return true;
    return false;
}

// The quoting that CommandLineToArgvW undoes: backslashes are doubled only where a quote follows them.
void append_quoted(std::string& out, std::string_view argument) {
    out.push_back('"');
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        out.push_back(c);
        backslashes = 0;
    }
    out.append(backslashes * 2, '\\');
    out.push_back('"');
}

std::uint64_t read_le(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t k = width; k-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + k]);
    return value;
}

} // namespace

std::string command_line_from_proc_cmdline(std::string_view bytes) {
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.remove_suffix(1);
    if (bytes.empty()) return {};

    std::string line;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = bytes.find('\0', start);
        const std::string argument = sanitize_utf8(bytes.substr(start, end - start));
        if (start > 0) line.push_back(' ');
        if (needs_quotes(argument)) {
            append_quoted(line, argument);
        } else {
            line += argument;
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return line;
}

std::string image_path_from_exe_link(std::string_view link_text, bool link_text_names_a_file) {
    constexpr std::string_view kDeleted = " (deleted)";
    if (!link_text_names_a_file && link_text.size() > kDeleted.size() && link_text.ends_with(kDeleted))
        link_text.remove_suffix(kDeleted.size());
    return sanitize_utf8(link_text);
}

std::optional<CountedString> read_counted_string(std::string_view bytes, std::size_t offset) {
    // Length (2 bytes), MaximumLength (2), padding (4), Buffer (8).
    if (offset > bytes.size() || bytes.size() - offset < 16) return std::nullopt;
    CountedString s;
    s.length_bytes = static_cast<std::uint16_t>(read_le(bytes, offset, 2));
    s.address = read_le(bytes, offset + 8, 8);
    return s;
}

std::optional<std::uint64_t> read_pointer(std::string_view bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 8) return std::nullopt;
    return read_le(bytes, offset, 8);
}

std::string text_from_utf16le(std::string_view bytes) {
    std::u16string units = utf16le_bytes_to_units(bytes);
    while (!units.empty() && units.back() == u'\0')
        units.pop_back();
    return utf16_to_utf8(units);
}

std::string counted_string_in_buffer(std::string_view buffer, std::uint64_t buffer_address) {
    const std::optional<CountedString> header = read_counted_string(buffer, 0);
    if (!header || header->length_bytes == 0) return {};
    if (header->address < buffer_address) return {};
    const std::uint64_t offset = header->address - buffer_address;
    if (offset > buffer.size() || buffer.size() - offset < header->length_bytes) return {};
    return text_from_utf16le(buffer.substr(static_cast<std::size_t>(offset), header->length_bytes));
}

} // namespace wirelux::platform
