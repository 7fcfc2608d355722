#include "facts/adapter_lists.h"

#include "util/text.h"

#include <string_view>

namespace wirelux {

namespace {

// Loopback, link-local and unique-local addresses say nothing about public reachability.
bool is_global_ipv6_text(std::string_view address) {
    for (const char* prefix : {"::1", "fe80", "fc", "fd"})
        if (starts_with_ci(address, prefix)) return false;
    return true;
}

} // namespace

std::vector<std::string> ipv4_address_texts(const AdapterInfo& adapter) {
    std::vector<std::string> texts;
    for (const IfAddress& address : adapter.ipv4)
        texts.push_back(address.address);
    return texts;
}

std::vector<std::string> global_ipv6_address_texts(const AdapterInfo& adapter) {
    std::vector<std::string> texts;
    for (const IfAddress& address : adapter.ipv6)
        if (is_global_ipv6_text(address.address)) texts.push_back(address.address);
    return texts;
}

std::string dns_server_skip_reason(std::string_view server) {
    if (server.find(':') == std::string_view::npos) return {};
    unsigned first = 0; // the first 16-bit group; "::..." starts with zeros
    for (std::size_t i = 0; i < server.size() && i < 4 && server[i] != ':'; ++i) {
        const char c = server[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return {};
        first = first * 16 + static_cast<unsigned>(digit);
    }
    if ((first & 0xffc0U) == 0xfe80U) return "not queried · link-local resolver (fe80::/10) needs an interface zone";
    if ((first & 0xffc0U) == 0xfec0U) return "not queried · site-local resolver (fec0::/10, deprecated placeholder)";
    return {};
}

std::vector<std::string> queried_dns_servers(const AdapterInfo& adapter) {
    std::vector<std::string> servers;
    for (const std::string& server : adapter.dns_servers)
        if (dns_server_skip_reason(server).empty()) servers.push_back(server);
    return servers;
}

std::vector<std::string> ipv4_dns_servers(const AdapterInfo& adapter) {
    std::vector<std::string> servers;
    for (const std::string& server : adapter.dns_servers)
        if (server.find(':') == std::string::npos) servers.push_back(server);
    return servers;
}

} // namespace wirelux
