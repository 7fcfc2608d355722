#pragma once
// The process snapshot, the processes that look like proxy or tunnel clients, and the sets that say
// which addresses and names are this machine's own.

#include "model/snapshot.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// Matched against the lower-cased image name, so it carries no case flag.
inline constexpr const char* kProxyClientNamePattern =
    "clash|mihomo|verge|v2ray|xray|sing-box|singbox|shadowsocks|ssr|trojan|naive|hysteria|tun2socks|openvpn|"
    "wireguard|tailscale|zerotier|frpc|frps|natfrp|gost|proxifier|netch|qv2ray|hiddify|surge|nordvpn|"
    "expressvpn|windscribe";

// The lower-cased image name contains one of the proxy-client words.
bool is_proxy_client_name(std::string_view lower_case_name);

// Fills processes (by pid, a later entry for a pid replacing an earlier one) and proxy_like_processes
// (in list order, under the lower-cased name) from the process list as the system returned it.
void record_processes(FactSnapshot& snapshot, const std::vector<ProcessInfo>& process_list);

// The normalised text of every IPv4 and IPv6 address of every adapter.
std::set<std::string> own_addresses(const std::vector<AdapterInfo>& adapters);

} // namespace wirelux
