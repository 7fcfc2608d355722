// Platform-boundary logic that needs no operating-system headers, shared by every backend.
#include "platform/command_runner.h"
#include "platform/console.h"
#include "platform/registry.h"
#include "util/text.h"
#include "util/utf.h"

namespace wirelux::platform {

bool is_msys_pty_pipe_name(std::string_view pipe_name) {
    const std::size_t slash = pipe_name.rfind('\\');
    const std::string_view last = slash == std::string_view::npos ? pipe_name : pipe_name.substr(slash + 1);
    return (last.starts_with("msys-") || last.starts_with("cygwin-")) && last.find("-pty") != std::string_view::npos;
}

std::string registry_value_text(std::uint32_t type, std::string_view bytes) {
    if (bytes.empty()) return {};
    if (type == kRegDword && bytes.size() >= 4) {
        std::uint32_t value = 0;
        for (int k = 3; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(k)]);
        return std::to_string(value);
    }
    std::u16string units = utf16le_bytes_to_units(bytes);
    while (!units.empty() && units.back() == u'\0') units.pop_back();
    return utf16_to_utf8(units);
}

std::optional<std::uint32_t> registry_value_number(std::uint32_t type, std::string_view bytes) {
    if (!(type == kRegDword && bytes.size() == 4) && !(type == kRegQword && bytes.size() == 8)) return std::nullopt;
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(k)]);
    return value;
}

std::string choose_command_text(std::string_view stdout_bytes, std::string_view stderr_bytes) {
    std::string text = decode_command_output(stdout_bytes, decode_console_code_page);
    if (is_blank(text)) text = decode_command_output(stderr_bytes, decode_console_code_page);
    return text;
}

} // namespace wirelux::platform
