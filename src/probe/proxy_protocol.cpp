#include "probe/proxy_protocol.h"

#include "model/address_tests.h"
#include "platform/socket.h"
#include "util/text.h"
#include "util/utf.h"

#include <array>
#include <vector>

namespace wirelux {

namespace {

std::vector<std::string_view> tokens_of(std::string_view line) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    std::vector<std::string_view> tokens;
    std::size_t start = line.find_first_not_of(kSpace);
    while (start != std::string_view::npos) {
        const std::size_t end = line.find_first_of(kSpace, start);
        tokens.push_back(
            line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        start = end == std::string_view::npos ? end : line.find_first_not_of(kSpace, end);
    }
    return tokens;
}

bool is_status_line_with(std::string_view line, std::string_view code) {
    if (!line.starts_with("http/")) return false;
    const auto tokens = tokens_of(line);
    return tokens.size() >= 2 && tokens[1] == code;
}

std::vector<std::string_view> trimmed_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find('\n', begin);
        lines.push_back(trim(text.substr(begin, end == std::string_view::npos ? end : end - begin)));
        if (end == std::string_view::npos) return lines;
        begin = end + 1;
    }
}

} // namespace

std::string proxy_probe_host(std::string_view listener_address) {
    if (is_loopback_host(listener_address)) return std::string(listener_address);
    return listener_address.find(':') != std::string_view::npos ? "::1" : "127.0.0.1";
}

bool socks5_probe(std::string_view listener_address, std::uint16_t port) {
    ConnectResult connection =
        Socket::connect_tcp(proxy_probe_host(listener_address), port, kSocks5ProbeTimeoutMs);
    if (!connection) return false;
    if (!connection.socket.send_all(kSocks5Greeting, deadline_after(kSocks5ProbeTimeoutMs))) return false;
    std::array<std::uint8_t, 2> reply{};
    std::size_t have = 0;
    const Deadline deadline = deadline_after(kSocks5ProbeTimeoutMs);
    while (have < reply.size()) {
        const auto received = connection.socket.receive(std::span(reply).subspan(have), deadline);
        if (!received || *received == 0) return false;
        have += *received;
    }
    return reply[0] == 0x05;
}

std::string http_connect_probe(std::string_view listener_address, std::uint16_t port) {
    ConnectResult connection =
        Socket::connect_tcp(proxy_probe_host(listener_address), port, kConnectProbeTimeoutMs);
    if (!connection) return {};
    if (!connection.socket.send_all(kConnectProbeRequest, deadline_after(kConnectProbeTimeoutMs))) return {};
    std::array<std::uint8_t, kConnectReplyLimit> buffer{};
    const auto received = connection.socket.receive(buffer, deadline_after(kConnectProbeTimeoutMs));
    if (!received || *received == 0) return {};
    return classify_connect_reply(std::string_view(reinterpret_cast<const char*>(buffer.data()), *received));
}

std::string classify_connect_reply(std::string_view reply) {
    const std::string text = to_lower_ascii(sanitize_utf8(reply));
    const auto lines = trimmed_lines(text);
    for (const std::string_view line : lines) {
        if (is_status_line_with(line, "407")) return kConnectVerdict407;
        if (line.starts_with("proxy-agent:")) return kConnectVerdictProxyAgent;
    }
    // "connect" also covers a "Connection established" reason.
    if (text.find("connect") == std::string::npos) return {};
    for (const std::string_view line : lines)
        if (is_status_line_with(line, "200")) return kConnectVerdictEstablished;
    return {};
}

} // namespace wirelux
