#include "facts/address_tests.h"

#include "probe/socket.h"
#include "util/text.h"

#include <algorithm>
#include <optional>

namespace wirelux {

namespace {

std::string_view without_brackets_and_zone(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    return text.substr(0, text.find('%'));
}

std::optional<SocketAddress> as_ip(std::string_view text) {
    return SocketAddress::parse(without_brackets_and_zone(text));
}

bool is_v4_mapped(const SocketAddress& address) {
    const auto bytes = address.bytes();
    return address.family() == IpFamily::v6 &&
           std::all_of(bytes.begin(), bytes.begin() + 10, [](std::uint8_t b) { return b == 0; }) &&
           bytes[10] == 0xff && bytes[11] == 0xff;
}

} // namespace

std::string normalised_address(std::string_view text) {
    const std::string_view bare = without_brackets_and_zone(trim(text));
    const auto ip = SocketAddress::parse(bare);
    if (!ip) return to_lower_ascii(bare);
    if (is_v4_mapped(*ip)) {
        const auto bytes = ip->bytes();
        return std::to_string(bytes[12]) + "." + std::to_string(bytes[13]) + "." + std::to_string(bytes[14]) +
               "." + std::to_string(bytes[15]);
    }
    return to_lower_ascii(ip->address_text());
}

bool is_loopback_host(std::string_view text) {
    if (text == "localhost") return true;
    const auto ip = as_ip(text);
    if (!ip) return false;
    const auto bytes = ip->bytes();
    if (ip->family() == IpFamily::v4) return bytes[0] == 127;
    return std::all_of(bytes.begin(), bytes.end() - 1, [](std::uint8_t b) { return b == 0; }) &&
           bytes[15] == 1;
}

bool is_unspecified_address(std::string_view text) {
    const std::string normal = normalised_address(text);
    return normal == "0.0.0.0" || normal == "::";
}

} // namespace wirelux
