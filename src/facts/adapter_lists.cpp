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

std::vector<std::string> ipv4_dns_servers(const AdapterInfo& adapter) {
    std::vector<std::string> servers;
    for (const std::string& server : adapter.dns_servers)
        if (server.find(':') == std::string::npos) servers.push_back(server);
    return servers;
}

} // namespace wirelux
