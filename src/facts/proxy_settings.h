#pragma once
// The system proxy settings: the per-user WinINET values, the WinHTTP setting as netsh reports it, and
// the local process that serves the WinINET proxy.

#include "model/snapshot.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr const char* kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The values of the Internet Settings key; each absent when missing.
struct InternetSettings {
    std::optional<std::uint32_t> proxy_enable;
    std::optional<std::uint32_t> auto_detect;
    std::optional<std::string> proxy_server;
    std::optional<std::string> proxy_override;
    std::optional<std::string> auto_config_url;
};

// Absent when the key cannot be opened (always so where there is no registry).
std::optional<InternetSettings> read_internet_settings();

// The WinINET fields from the values read; a key that could not be opened leaves the defaults.
void apply_internet_settings(FactSnapshot& snapshot, const std::optional<InternetSettings>& settings);

// Reads both settings into the snapshot (WinINET from the registry, WinHTTP through netsh).
void collect_system_proxy_settings(FactSnapshot& snapshot);

// The host:port pieces of a WinINET ProxyServer text, one per port found in each ";"-separated piece.
std::vector<WinInetEndpoint> wininet_endpoints(std::string_view proxy_server);

// Fills wininet_endpoints, the owner of the first endpoint port that a listening process serves, and
// wininet_unowned. Needs tcp_listeners and processes; does nothing unless the WinINET proxy is active.
void find_wininet_endpoint_owners(FactSnapshot& snapshot);

} // namespace wirelux
