#pragma once

// Netlink pieces built by hand, for messages no capture holds: rules, and damaged routes.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace wirelux::platform::netlink::test {

inline std::string u32_bytes(std::uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

// An attribute padded to four bytes. A `length` other than the natural one makes a damaged attribute.
inline std::string attribute(std::uint16_t type, std::string_view data, std::optional<std::uint16_t> length = {}) {
    std::string a(4, '\0');
    const auto claimed = length.value_or(static_cast<std::uint16_t>(4 + data.size()));
    std::memcpy(a.data(), &claimed, 2);
    std::memcpy(a.data() + 2, &type, 2);
    a += data;
    while (a.size() % 4 != 0)
        a.push_back('\0');
    return a;
}

} // namespace wirelux::platform::netlink::test
