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

std::string decode_command_output(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return sanitize_utf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE")) return utf16_to_utf8(utf16le_bytes_to_units(bytes.substr(2)));
    return sanitize_utf8(bytes);
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
