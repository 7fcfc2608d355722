#include "facts/processes.h"

#include "model/address_tests.h"
#include "util/regex.h"
#include "util/text.h"

namespace wirelux {

bool is_proxy_client_name(std::string_view lower_case_name) {
    static const Regex pattern(kProxyClientNamePattern);
    return pattern.valid() && pattern.search(lower_case_name);
}

void record_processes(FactSnapshot& snapshot, const std::vector<ProcessInfo>& process_list) {
    for (const ProcessInfo& process : process_list)
        snapshot.processes.insert_or_assign(process.pid, process);
    for (const ProcessInfo& process : process_list) {
        std::string name = to_lower_ascii(process.name);
        if (!is_proxy_client_name(name)) continue;
        ProcessInfo proxy_like;
        proxy_like.name = std::move(name);
        proxy_like.pid = process.pid;
        snapshot.proxy_like_processes.push_back(std::move(proxy_like));
    }
}

std::set<std::string> own_addresses(const std::vector<AdapterInfo>& adapters) {
    std::set<std::string> addresses;
    for (const AdapterInfo& adapter : adapters) {
        for (const IfAddress& address : adapter.ipv4)
            addresses.insert(normalised_address(address.address));
        for (const IfAddress& address : adapter.ipv6)
            addresses.insert(normalised_address(address.address));
    }
    return addresses;
}

} // namespace wirelux
