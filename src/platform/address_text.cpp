#include "platform/address_text.h"

#include <algorithm>

namespace wirelux::platform {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

void append_hex_group(std::string& out, std::uint16_t group) {
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = (group >> shift) & 0xFu;
        if (digit == 0 && !started && shift != 0) continue;
        started = true;
        out.push_back(kLowerHex[digit]);
    }
}

void append_upper_hex(std::string& out, std::uint64_t value, int digits) {
    for (int k = digits - 1; k >= 0; --k)
        out.push_back(kUpperHex[(value >> (4 * k)) & 0xFu]);
}

} // namespace

std::string ipv4_text(std::span<const std::uint8_t, 4> bytes) {
    std::string out;
    out.reserve(15);
    for (std::size_t i = 0; i < 4; ++i) {
        if (i != 0) out.push_back('.');
        out += std::to_string(bytes[i]);
    }
    return out;
}

std::string ipv6_text(std::span<const std::uint8_t, 16> bytes) {
    std::uint16_t groups[8];
    for (std::size_t i = 0; i < 8; ++i)
        groups[i] = static_cast<std::uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);

    const bool leading_zeros = std::all_of(groups, groups + 5, [](std::uint16_t g) { return g == 0; });
    const bool mapped = leading_zeros && groups[5] == 0xFFFF;
    const bool compatible = leading_zeros && groups[5] == 0 && groups[6] != 0;
    if (mapped || compatible) {
        std::string out = mapped ? "::ffff:" : "::";
        return out + ipv4_text(bytes.subspan<12, 4>());
    }

    int best_start = -1, best_len = 0;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > best_len) {
            best_start = i;
            best_len = j - i;
        }
        i = j;
    }
    if (best_len < 2) best_start = -1;

    std::string out;
    out.reserve(39);
    for (int i = 0; i < 8; ++i) {
        if (i == best_start) {
            out += "::";
            i += best_len - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') out.push_back(':');
        append_hex_group(out, groups[i]);
    }
    return out;
}

std::string mac_text(std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min<std::size_t>(bytes.size(), 8);
    std::string out;
    out.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0) out.push_back('-');
        append_upper_hex(out, bytes[i], 2);
    }
    return out;
}

std::string guid_text(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                      std::span<const std::uint8_t, 8> data4) {
    std::string out = "{";
    append_upper_hex(out, data1, 8);
    out.push_back('-');
    append_upper_hex(out, data2, 4);
    out.push_back('-');
    append_upper_hex(out, data3, 4);
    out.push_back('-');
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 2) out.push_back('-');
        append_upper_hex(out, data4[i], 2);
    }
    out.push_back('}');
    return out;
}

bool all_zero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

void append_unique(std::vector<std::string>& list, std::string text) {
    if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(std::move(text));
}

} // namespace wirelux::platform
