#include "util/ip_text.h"

#include <algorithm>

namespace wirelux {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_ipv4_into(std::string_view text, std::uint8_t* out) {
    int part = 0;
    std::size_t i = 0;
    while (true) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
        const std::size_t start = i;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        // A leading zero would read as octal to some parsers; refuse it like inet_pton does.
        if (value > 255 || (i - start > 1 && text[start] == '0')) return false;
        out[part++] = static_cast<std::uint8_t>(value);
        if (part == 4) return i == text.size();
        if (i >= text.size() || text[i] != '.') return false;
        ++i;
    }
}

bool parse_ipv6_into(std::string_view text, std::uint8_t* out) {
    std::array<std::uint16_t, 8> head{};
    std::array<std::uint16_t, 8> tail{};
    std::size_t head_count = 0;
    std::size_t tail_count = 0;
    bool compressed = false;
    std::size_t i = 0;

    if (text.starts_with("::")) {
        compressed = true;
        i = 2;
        if (i == text.size()) {
            std::fill(out, out + 16, std::uint8_t{0});
            return true;
        }
    } else if (text.starts_with(":")) {
        return false;
    }

    std::array<std::uint8_t, 4> dotted{};
    bool has_dotted = false;
    while (i < text.size()) {
        std::size_t& count = compressed ? tail_count : head_count;
        auto& groups = compressed ? tail : head;
        const std::size_t start = i;
        unsigned value = 0;
        while (i < text.size() && hex_value(text[i]) >= 0 && i - start < 5)
            value = value * 16 + static_cast<unsigned>(hex_value(text[i++]));
        if (i < text.size() && text[i] == '.') {
            // The last 32 bits written as a dotted quad.
            if (!parse_ipv4_into(text.substr(start), dotted.data())) return false;
            has_dotted = true;
            i = text.size();
            break;
        }
        if (i == start || i - start > 4) return false;
        if (head_count + tail_count >= 8) return false;
        groups[count++] = static_cast<std::uint16_t>(value);
        if (i == text.size()) break;
        if (text[i] != ':') return false;
        ++i;
        if (i < text.size() && text[i] == ':') {
            if (compressed) return false;
            compressed = true;
            ++i;
        } else if (i == text.size()) {
            return false; // a single trailing colon
        }
    }

    const std::size_t groups_written = head_count + tail_count + (has_dotted ? 2 : 0);
    if (groups_written > 8 || (!compressed && groups_written != 8) || (compressed && groups_written == 8))
        return false;

    std::array<std::uint16_t, 8> words{};
    for (std::size_t k = 0; k < head_count; ++k)
        words[k] = head[k];
    const std::size_t tail_words = tail_count + (has_dotted ? 2 : 0);
    const std::size_t tail_start = 8 - tail_words;
    for (std::size_t k = 0; k < tail_count; ++k)
        words[tail_start + k] = tail[k];
    for (std::size_t k = 0; k < 8; ++k) {
        out[2 * k] = static_cast<std::uint8_t>(words[k] >> 8);
        out[2 * k + 1] = static_cast<std::uint8_t>(words[k] & 0xff);
    }
    if (has_dotted) std::copy(dotted.begin(), dotted.end(), out + 12);
    return true;
}

} // namespace

std::string format_ipv4(const std::uint8_t* bytes) {
    // Written by hand: this runs for every socket row of a busy machine, where printf dominated.
    std::string text;
    text.reserve(15);
    for (std::size_t k = 0; k < 4; ++k) {
        if (k != 0) text.push_back('.');
        const unsigned octet = bytes[k];
        if (octet >= 100) text.push_back(static_cast<char>('0' + octet / 100));
        if (octet >= 10) text.push_back(static_cast<char>('0' + octet / 10 % 10));
        text.push_back(static_cast<char>('0' + octet % 10));
    }
    return text;
}

std::string format_ipv6(const std::uint8_t* bytes) {
    std::array<unsigned, 8> words{};
    for (std::size_t k = 0; k < 8; ++k)
        words[k] = (static_cast<unsigned>(bytes[2 * k]) << 8) | bytes[2 * k + 1];

    int best_base = -1;
    int best_len = 0;
    for (int k = 0; k < 8;) {
        if (words[static_cast<std::size_t>(k)] != 0) {
            ++k;
            continue;
        }
        int end = k;
        while (end < 8 && words[static_cast<std::size_t>(end)] == 0)
            ++end;
        if (end - k > best_len) {
            best_base = k;
            best_len = end - k;
        }
        k = end;
    }
    if (best_len < 2) best_base = -1;

    std::string text;
    text.reserve(39);
    for (int k = 0; k < 8; ++k) {
        if (best_base >= 0 && k >= best_base && k < best_base + best_len) {
            if (k == best_base) text.push_back(':');
            continue;
        }
        if (k != 0) text.push_back(':');
        if (k == 6 && best_base == 0 && (best_len == 6 || (best_len == 5 && words[5] == 0xffff))) {
            text += format_ipv4(bytes + 12);
            return text;
        }
        const unsigned word = words[static_cast<std::size_t>(k)];
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned nibble = (word >> shift) & 0xF;
            digits = digits || nibble != 0 || shift == 0;
            if (digits) text.push_back("0123456789abcdef"[nibble]);
        }
    }
    if (best_base >= 0 && best_base + best_len == 8) text.push_back(':');
    return text;
}

std::string format_ip(const IpAddress& address) {
    return address.is_v6 ? format_ipv6(address.bytes.data()) : format_ipv4(address.bytes.data());
}

std::optional<IpAddress> parse_ip(std::string_view text) {
    IpAddress address;
    if (text.find(':') == std::string_view::npos) {
        if (!parse_ipv4_into(text, address.bytes.data())) return std::nullopt;
        return address;
    }
    address.is_v6 = true;
    if (!parse_ipv6_into(text, address.bytes.data())) return std::nullopt;
    return address;
}

std::optional<IpAddress> unmapped_ipv4(const IpAddress& address) {
    if (!address.is_v6) return std::nullopt;
    for (std::size_t k = 0; k < 10; ++k)
        if (address.bytes[k] != 0) return std::nullopt;
    if (address.bytes[10] != 0xff || address.bytes[11] != 0xff) return std::nullopt;
    IpAddress v4;
    std::copy(address.bytes.begin() + 12, address.bytes.end(), v4.bytes.begin());
    return v4;
}

} // namespace wirelux
