#include "facts/proxy_endpoints.h"

#include "util/regex.h"

#include <algorithm>

namespace wirelux {

namespace {

// 1 to 65535; the pattern already limits the text to one to five digits.
std::uint16_t port_number(const std::string& digits) {
    unsigned value = 0;
    for (const char c : digits)
        value = value * 10 + static_cast<unsigned>(c - '0');
    return value <= 0xFFFF ? static_cast<std::uint16_t>(value) : 0;
}

} // namespace

std::string endpoint_text(std::string_view host, std::uint16_t port) {
    std::string text;
    if (host.find(':') != std::string_view::npos) {
        text = "[";
        text += host;
        text += "]";
    } else {
        text = host;
    }
    return text + ":" + std::to_string(port);
}

std::vector<ProxyEndpoint> parse_proxy_endpoints(std::string_view text, std::string_view source) {
    std::vector<ProxyEndpoint> endpoints;
    if (text.empty()) return endpoints;

    static const Regex credentials(kProxyCredentialPattern);
    static const Regex endpoint_pattern(kProxyEndpointPattern);
    const std::string cleaned = credentials.valid() ? credentials.replace(text, "$1") : std::string(text);
    if (!endpoint_pattern.valid()) return endpoints;

    for (const RegexMatch& match : endpoint_pattern.find_all(cleaned)) {
        const std::uint16_t port = port_number(match.group("port"));
        if (port == 0) continue;

        ProxyEndpoint found;
        found.source = source;
        found.host = match.matched("host") ? match.group("host") : std::string();
        if (found.host.size() > 1 && found.host.front() == '[' && found.host.back() == ']')
            found.host = found.host.substr(1, found.host.size() - 2);
        if (match.matched("scheme")) {
            found.scheme = match.group("scheme");
        } else if (match.matched("uri")) {
            found.scheme = match.group("uri");
        }
        found.port = port;
        found.endpoint = endpoint_text(found.host, port);

        const bool repeated = std::any_of(endpoints.begin(), endpoints.end(), [&](const ProxyEndpoint& e) {
            return e.source == found.source && e.scheme == found.scheme && e.host == found.host &&
                   e.port == found.port;
        });
        if (!repeated) endpoints.push_back(std::move(found));
    }
    return endpoints;
}

} // namespace wirelux
