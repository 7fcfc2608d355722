#include "util/text.h"

#include "util/utf.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace wirelux {

std::string format_bps(std::uint64_t value) {
    if (value == 0) return "0 bps";
    struct Unit {
        double divisor;
        const char* name;
    };
    static constexpr std::array<Unit, 4> kUnits{{{1e12, "Tbps"}, {1e9, "Gbps"}, {1e6, "Mbps"}, {1e3, "Kbps"}}};
    for (const Unit& unit : kUnits) {
        if (unit.divisor > static_cast<double>(value)) continue;
        const double q = static_cast<double>(value) / unit.divisor;
        const double whole = std::round(q); // halves away from zero
        char buffer[64];
        if (std::fabs(q - whole) < 1e-9) {
            std::snprintf(buffer, sizeof buffer, "%.0f %s", whole, unit.name);
        } else {
            std::snprintf(buffer, sizeof buffer, "%.1f %s", q, unit.name);
        }
        return buffer;
    }
    return std::to_string(value) + " bps";
}

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::string pad_right(std::string_view text, std::size_t width) {
    std::string out(text);
    const std::size_t length = utf8_length(text);
    if (length < width) out.append(width - length, ' ');
    return out;
}

std::string pad_left(std::string_view text, std::size_t width) {
    const std::size_t length = utf8_length(text);
    std::string out;
    if (length < width) out.assign(width - length, ' ');
    out += text;
    return out;
}

namespace {
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
} // namespace

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    return join(parts, separator, [](const std::string& part) -> const std::string& { return part; });
}

std::string join_non_empty(std::initializer_list<std::string_view> parts, std::string_view separator) {
    std::string out;
    for (const std::string_view part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

std::string_view trim(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && is_space(text[begin])) ++begin;
    while (end > begin && is_space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool is_blank(std::string_view text) { return trim(text).empty(); }

std::string decode_command_output(std::string_view bytes, LegacyDecoder legacy) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return sanitize_utf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE")) return utf16_to_utf8(utf16le_bytes_to_units(bytes.substr(2)));
    if (is_valid_utf8(bytes)) return std::string(bytes);
    if (legacy) {
        if (auto text = legacy(bytes)) return sanitize_utf8(*text);
    }
    return sanitize_utf8(bytes);
}

namespace {

constexpr std::string_view kStandIn = "\xEF\xBF\xBD"; // U+FFFD
constexpr std::string_view kEllipsis = "\xE2\x80\xA6"; // U+2026

// Appends one line of valid UTF-8 with its control characters replaced, cut after `limit` characters.
void append_console_line(std::string& out, std::string_view line, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < line.size();) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        const std::size_t width = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (characters == limit) {
            out += kEllipsis;
            return;
        }
        ++characters;
        const bool c0_or_del = c < 0x20 || c == 0x7F;
        const bool c1 = c == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) < 0xA0;
        if (c0_or_del || c1)
            out += kStandIn;
        else
            out.append(line.substr(i, width));
        i += width;
    }
}

} // namespace

std::string console_value(std::string_view text) {
    const std::string valid = sanitize_utf8(text);
    std::string out;
    append_console_line(out, valid, kConsoleValueLimit);
    return out;
}

std::string console_uncut(std::string_view text) {
    const std::string valid = sanitize_utf8(text);
    std::string out;
    append_console_line(out, valid, std::string_view::npos);
    return out;
}

std::string console_lines(std::string_view text) {
    const std::string valid = sanitize_utf8(text);
    std::string_view rest = valid;
    std::string out;
    for (std::size_t lines = 0; !rest.empty(); ++lines) {
        if (lines == kConsoleLineLimit) {
            out += kEllipsis;
            out += '\n';
            break;
        }
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        const bool crlf = end != std::string_view::npos && line.ends_with('\r');
        if (crlf) line.remove_suffix(1);
        append_console_line(out, line, kConsoleValueLimit);
        if (end == std::string_view::npos) break;
        out += crlf ? "\r\n" : "\n";
        rest.remove_prefix(end + 1);
    }
    return out;
}

std::string to_lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool starts_with_ci(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && to_lower_ascii(text.substr(0, prefix.size())) == to_lower_ascii(prefix);
}

} // namespace wirelux
