#include "facts/proxy_settings.h"

#include "platform/command_runner.h"
#include "platform/registry.h"
#include "util/regex.h"
#include "util/text.h"

#include <charconv>

namespace wirelux {

namespace {

std::optional<std::uint16_t> parse_port(const std::string& digits) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<InternetSettings> read_internet_settings() {
    const auto key = platform::open_key(platform::RegistryRoot::CurrentUser, kInternetSettingsKey);
    if (!key) return std::nullopt;
    InternetSettings settings;
    settings.proxy_enable = platform::read_number(*key, "ProxyEnable");
    settings.auto_detect = platform::read_number(*key, "AutoDetect");
    settings.proxy_server = platform::read_text(*key, "ProxyServer");
    settings.proxy_override = platform::read_text(*key, "ProxyOverride");
    settings.auto_config_url = platform::read_text(*key, "AutoConfigURL");
    return settings;
}

void apply_internet_settings(FactSnapshot& snapshot, const std::optional<InternetSettings>& settings) {
    if (!settings) return;
    snapshot.wininet_enable = settings->proxy_enable.value_or(0) != 0;
    snapshot.wininet_autodetect = settings->auto_detect.value_or(0) != 0;
    snapshot.wininet_server = settings->proxy_server.value_or("");
    snapshot.wininet_override = settings->proxy_override.value_or("");
    snapshot.wininet_autoconfig_url = settings->auto_config_url.value_or("");
    snapshot.wininet_active = snapshot.wininet_enable && !snapshot.wininet_server.empty();
}

void collect_system_proxy_settings(FactSnapshot& snapshot) {
    apply_internet_settings(snapshot, read_internet_settings());
    snapshot.winhttp_text = platform::run_netsh("winhttp", "show", "proxy");
}

std::vector<WinInetEndpoint> wininet_endpoints(std::string_view proxy_server) {
    static const Regex port_presence(R"(:\d{2,5})");
    static const Regex endpoint(R"(((?:https?|socks)\s*=\s*)?[\d\.a-z\*\[\]]*:(\d{2,5}))");
    std::vector<WinInetEndpoint> endpoints;
    if (!port_presence.valid() || !endpoint.valid()) return endpoints;

    std::size_t start = 0;
    while (start <= proxy_server.size()) {
        std::size_t end = proxy_server.find(';', start);
        if (end == std::string_view::npos) end = proxy_server.size();
        const std::string_view piece = proxy_server.substr(start, end - start);
        start = end + 1;
        if (!port_presence.search(piece)) continue;
        for (const RegexMatch& match : endpoint.find_all(piece)) {
            const auto port = parse_port(match.group(2));
            if (!port) continue; // 99999 and the like
            endpoints.push_back(WinInetEndpoint{std::string(trim(piece)), *port});
        }
    }
    return endpoints;
}

void find_wininet_endpoint_owners(FactSnapshot& snapshot) {
    if (!snapshot.wininet_active) return;
    FactSnapshot& s = snapshot;
    s.wininet_endpoints = wininet_endpoints(s.wininet_server);
    for (const WinInetEndpoint& endpoint : s.wininet_endpoints) {
        if (s.wininet_owner_name) break; // the first owner found wins
        for (const TcpRow& listener : s.tcp_listeners) {
            if (listener.local_port != endpoint.port) continue;
            if (const auto process = s.processes.find(listener.pid); process != s.processes.end()) {
                s.wininet_owner_name = process->second.name;
                s.wininet_owner_pid = std::to_string(listener.pid);
            }
            break; // only the first listener on the port is asked
        }
    }
    if (!s.wininet_owner_name) s.wininet_unowned = !s.wininet_endpoints.empty();
}

} // namespace wirelux
