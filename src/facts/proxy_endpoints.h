#pragma once
// Proxy endpoints found in a free-form proxy setting text: a WinINET server list, the WinHTTP report,
// or a proxy environment variable. Every "host:port" occurrence counts, with the scheme written in
// front of it if any; the syntax of each source is not interpreted further.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr const char* kProxySourceWinInet = "WinINET";
inline constexpr const char* kProxySourceWinHttp = "WinHTTP";
inline constexpr const char* kProxySourceEnvPrefix = "ENV:";

struct ProxyEndpoint {
    std::string source;   // "WinINET", "WinHTTP" or "ENV:" + variable name
    std::string scheme;   // as written ("http", "SOCKS5", ...), or empty
    std::string host;     // without the brackets of an IPv6 address
    std::string endpoint; // host:port, an IPv6 host in brackets
    std::uint16_t port = 0;
};

inline constexpr const char* kProxyCredentialPattern = R"((?i)((?:https?|ftp|socks(?:4a?|5)?)://)[^\s/@]+@)";
inline constexpr const char* kProxyEndpointPattern =
    R"((?i)(?:(?<scheme>https?|ftp|socks(?:4a?|5)?|all)\s*=\s*|(?<uri>https?|ftp|socks(?:4a?|5)?)://)?)"
    R"((?<host>localhost|127(?:\.\d{1,3}){3}|\[[0-9a-f:%.-]+\]|[A-Za-z0-9_.-]+):(?<port>\d{1,5}))";

// The endpoints in order of appearance, without repeats of the same source, scheme, host and port.
// User information in front of a URL's host is dropped first, so credentials never reach the result.
std::vector<ProxyEndpoint> parse_proxy_endpoints(std::string_view text, std::string_view source);

// host:port, the host in brackets when it contains a colon.
std::string endpoint_text(std::string_view host, std::uint16_t port);

} // namespace wirelux
