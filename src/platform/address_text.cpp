#include "platform/address_text.h"

#include "util/ip_text.h"

#include <algorithm>

namespace wirelux::platform {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

void append_upper_hex(std::string& out, std::uint64_t value, int digits) {
    for (int k = digits - 1; k >= 0; --k)
        out.push_back(kUpperHex[(value >> (4 * k)) & 0xFu]);
}

} // namespace

std::string ipv4_text(std::span<const std::uint8_t, 4> bytes) {
    return format_ipv4(bytes.data());
}

std::string ipv6_text(std::span<const std::uint8_t, 16> bytes) {
    return format_ipv6(bytes.data());
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
