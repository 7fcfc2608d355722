#pragma once
// The running drivers and services whose identity names VPN, tunnel, packet-redirection or proxy
// software; they count toward the interception score.

#include "model/snapshot.h"

#include <functional>
#include <string>
#include <vector>

namespace wirelux {

// Name, display name and binary path joined by single spaces.
std::string service_identity_text(const ServiceInfo& service);

bool names_vpn_software(const ServiceInfo& service);

// The entries whose identity names such software, in their original order.
std::vector<ServiceInfo> vpn_identities(std::vector<ServiceInfo> entries);

// Running entries of one kind, as platform::list_running gives them.
struct ServiceLister {
    std::function<std::vector<ServiceInfo>()> drivers;
    std::function<std::vector<ServiceInfo>()> services;
};

// Fills vpn_drivers and vpn_services.
void collect_vpn_services(FactSnapshot& snapshot, const ServiceLister& lister);

} // namespace wirelux
