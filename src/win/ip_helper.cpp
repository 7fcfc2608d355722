// Pure conversions of IP Helper socket addresses.
#include "win/ip_helper.h"

#include "platform/address_text.h"

#include <cstring>
#include <span>

namespace wirelux::platform {

namespace {

std::string in_addr_text(const IN_ADDR& a) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &a, 4);
    return ipv4_text(std::span<const std::uint8_t, 4>(bytes));
}

std::string in6_addr_text(const IN6_ADDR& a) {
    std::uint8_t bytes[16];
    std::memcpy(bytes, &a, 16);
    return ipv6_text(std::span<const std::uint8_t, 16>(bytes));
}

} // namespace

std::optional<std::string> socket_address_text(const SOCKADDR* address, int length) {
    if (address == nullptr || length < static_cast<int>(sizeof(ADDRESS_FAMILY))) return std::nullopt;
    if (address->sa_family == AF_INET && length >= static_cast<int>(sizeof(SOCKADDR_IN))) {
        SOCKADDR_IN v4;
        std::memcpy(&v4, address, sizeof v4);
        return in_addr_text(v4.sin_addr);
    }
    if (address->sa_family == AF_INET6 && length >= static_cast<int>(sizeof(SOCKADDR_IN6))) {
        SOCKADDR_IN6 v6;
        std::memcpy(&v6, address, sizeof v6);
        return in6_addr_text(v6.sin6_addr);
    }
    return std::nullopt;
}

std::optional<std::string> sockaddr_inet_text(const SOCKADDR_INET& address) {
    if (address.si_family == AF_INET) return in_addr_text(address.Ipv4.sin_addr);
    if (address.si_family == AF_INET6) return in6_addr_text(address.Ipv6.sin6_addr);
    return std::nullopt;
}

} // namespace wirelux::platform
