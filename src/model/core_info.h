#pragma once
// What one running proxy core revealed through its configuration and its runtime API.

#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

struct OutboundProxy {
    std::string name;
    std::string type;
    std::string server;
    std::uint16_t port = 0;
};

struct ControllerProbe {
    std::string address; // "http://host:port"
    bool answered = false;
};

// One element of the core's /connections reply, kept as its JSON text with the fields consumers read.
struct RuntimeConnection {
    std::string json;
    std::string process_name;
    std::string process_path;
    std::string rule_text;
};

struct CoreInfo {
    std::uint32_t pid = 0;
    std::string config_path;
    std::string controller;
    std::string secret;
    std::string find_process_mode;
    std::string tun_stack;
    bool tun_enabled = false; // the configuration enables a TUN
    std::string tun_device;   // the TUN's interface name, when the configuration names it
    std::vector<OutboundProxy> outbound_proxies;
    std::vector<ControllerProbe> controller_probes;
    std::string live_controller;
    bool answered = false;
    std::vector<RuntimeConnection> connections;
};

} // namespace wirelux
