#include "model/address_tests.h"

#include "util/ip_text.h"
#include "util/text.h"

#include <array>
#include <charconv>
#include <optional>

namespace wirelux {

namespace {

// The four octets of a dotted-quad text, or nothing when the text is not one.
std::optional<std::array<unsigned, 4>> ipv4_octets(std::string_view text) {
    std::array<unsigned, 4> octets{};
    const char* p = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t k = 0; k < octets.size(); ++k) {
        if (k > 0) {
            if (p == end || *p != '.') return std::nullopt;
            ++p;
        }
        const char* const start = p;
        const auto [next, error] = std::from_chars(p, end, octets[k]);
        if (error != std::errc{} || next == start || next - start > 3 || octets[k] > 255) return std::nullopt;
        p = next;
    }
    if (p != end) return std::nullopt;
    return octets;
}

// Brackets and zone off, so that "[fe80::1%12]" and "fe80::1" name the same address.
std::string_view bare_address(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    if (const std::size_t zone = text.find('%'); zone != std::string_view::npos) text = text.substr(0, zone);
    return text;
}

// The address with an IPv4-mapped IPv6 address turned into the IPv4 address it carries.
std::optional<IpAddress> parse_unmapped(std::string_view bare) {
    std::optional<IpAddress> address = parse_ip(bare);
    if (address) {
        if (auto v4 = unmapped_ipv4(*address)) return v4;
    }
    return address;
}

} // namespace

std::string normalised_address(std::string_view text) {
    const std::string_view bare = bare_address(text);
    if (const auto address = parse_unmapped(bare)) return format_ip(*address);
    return to_lower_ascii(bare);
}

namespace {

bool is_loopback(const IpAddress& address) {
    if (!address.is_v6) return address.bytes[0] == 127;
    for (std::size_t k = 0; k < 15; ++k)
        if (address.bytes[k] != 0) return false;
    return address.bytes[15] == 1;
}

bool is_unspecified(const IpAddress& address) {
    const std::size_t size = address.is_v6 ? 16 : 4;
    for (std::size_t k = 0; k < size; ++k)
        if (address.bytes[k] != 0) return false;
    return true;
}

} // namespace

bool is_loopback_host(std::string_view text) {
    if (text == "localhost") return true;
    const auto address = parse_unmapped(bare_address(text));
    return address && is_loopback(*address);
}

bool is_unspecified_address(std::string_view text) {
    // Only an address literal can be unspecified.
    const auto address = parse_unmapped(bare_address(text));
    return address && is_unspecified(*address);
}

bool is_local_host(std::string_view text, const std::set<std::string>& own_names,
                   const std::set<std::string>& own_addresses) {
    if (text.empty()) return false;
    if (text == "localhost") return true;
    // One parse serves every test: this runs for each socket row of a busy machine.
    const std::string_view bare = bare_address(text);
    const auto address = parse_unmapped(bare);
    if (address && is_loopback(*address)) return true;
    if (address && is_unspecified(*address)) return false;
    if (own_names.contains(to_lower_ascii(text))) return true;
    return own_addresses.contains(address ? format_ip(*address) : to_lower_ascii(bare));
}

bool same_address(std::string_view a, std::string_view b) {
    return !a.empty() && !b.empty() && normalised_address(a) == normalised_address(b);
}

bool is_fake_ip(std::string_view address) {
    if (address.find(':') != std::string_view::npos) return starts_with_ci(address, "fdfe:");
    const auto octets = ipv4_octets(address);
    return octets && (*octets)[0] == 198 && ((*octets)[1] == 18 || (*octets)[1] == 19);
}

bool is_loopback_dns(std::string_view address) {
    return address.starts_with("127.") || address == "::1";
}

} // namespace wirelux
