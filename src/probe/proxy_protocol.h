#pragma once
// Whether a local TCP listener speaks a proxy protocol: a SOCKS5 greeting and an HTTP CONNECT request.
// Neither probe sends user data or opens a tunnel; the CONNECT target is the loopback discard port.

#include <cstdint>
#include <string>
#include <string_view>

namespace wirelux {

inline constexpr const char* kConnectVerdict407 = "HTTP CONNECT / 407";
inline constexpr const char* kConnectVerdictProxyAgent = "HTTP CONNECT / Proxy-Agent";
inline constexpr const char* kConnectVerdictEstablished = "HTTP CONNECT / established";

inline constexpr unsigned kSocks5ProbeTimeoutMs = 140;
inline constexpr unsigned kConnectProbeTimeoutMs = 180;
inline constexpr std::size_t kConnectReplyLimit = 768;

// Version 5, one method offered, the no-authentication method.
inline constexpr std::uint8_t kSocks5Greeting[] = {0x05, 0x01, 0x00};
inline constexpr std::string_view kConnectProbeRequest =
    "CONNECT 127.0.0.1:9 HTTP/1.1\r\nHost: 127.0.0.1:9\r\nProxy-Connection: close\r\n\r\n";

// Where a listener is probed: a loopback host as it is; a wildcard listener on the loopback address of
// its family.
std::string proxy_probe_host(std::string_view listener_address);

// True when the listener answers the greeting with a version-5 reply, whichever method it selects.
bool socks5_probe(std::string_view listener_address, std::uint16_t port);

// One of the verdict labels above, or empty when nothing proxy-like came back.
std::string http_connect_probe(std::string_view listener_address, std::uint16_t port);

// The verdict for the bytes of one receive after the CONNECT request.
std::string classify_connect_reply(std::string_view reply);

} // namespace wirelux
