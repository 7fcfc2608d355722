#include "linux/resolver_files.h"

#include "platform/address_text.h"
#include "util/text.h"
#include <algorithm>

#include <arpa/inet.h>
#include <sys/socket.h>

namespace wirelux::platform::linux_net {

namespace {

constexpr std::string_view kSpace = " \t";

std::optional<std::string> parsed(std::string_view text) {
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN) return std::nullopt;
    const std::string zero_terminated(text);
    std::uint8_t bytes[16];
    if (::inet_pton(AF_INET, zero_terminated.c_str(), bytes) == 1)
        return ipv4_text(std::span<const std::uint8_t, 4>(bytes, 4));
    if (::inet_pton(AF_INET6, zero_terminated.c_str(), bytes) == 1)
        return ipv6_text(std::span<const std::uint8_t, 16>(bytes, 16));
    return std::nullopt;
}

template <typename Each> void for_each_line(std::string_view text, Each each) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        each(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

template <typename Each> void for_each_word(std::string_view text, Each each) {
    while (true) {
        const std::size_t start = text.find_first_not_of(kSpace);
        if (start == std::string_view::npos) return;
        text.remove_prefix(start);
        const std::size_t end = text.find_first_of(kSpace);
        each(text.substr(0, end));
        if (end == std::string_view::npos) return;
        text.remove_prefix(end);
    }
}

bool is_stub(const std::string& server) {
    return server == "127.0.0.53" || server == "127.0.0.54";
}

} // namespace

std::optional<std::string> server_address(std::string_view token) {
    token = trim(token);
    token = token.substr(0, token.find('#'));
    if (token.starts_with('[')) {
        const std::size_t close = token.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        token = token.substr(1, close - 1);
    } else if (token.find(':') == token.rfind(':') && token.find('.') != std::string_view::npos) {
        token = token.substr(0, token.find(':')); // IPv4 with a port
    }
    return parsed(token.substr(0, token.find('%')));
}

std::vector<std::string> resolv_conf_servers(std::string_view text) {
    std::vector<std::string> servers;
    for_each_line(text, [&](std::string_view line) {
        std::vector<std::string_view> words;
        for_each_word(line, [&](std::string_view w) { words.push_back(w); });
        if (words.size() >= 2 && words[0] == "nameserver")
            if (auto address = server_address(words[1])) append_unique(servers, std::move(*address));
    });
    return servers;
}

std::vector<std::string> choose_resolver_servers(std::string_view etc_resolv_conf,
                                                 std::string_view upstream_resolv_conf) {
    std::vector<std::string> servers = resolv_conf_servers(etc_resolv_conf);
    if (servers.empty() || !std::all_of(servers.begin(), servers.end(), is_stub)) return servers;
    std::vector<std::string> upstream = resolv_conf_servers(upstream_resolv_conf);
    return upstream.empty() ? servers : upstream;
}

std::optional<std::string> state_value(std::string_view text, std::string_view key) {
    std::optional<std::string> value;
    for_each_line(text, [&](std::string_view line) {
        if (!value && line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            value = std::string(trim(line.substr(key.size() + 1)));
    });
    return value;
}

std::vector<std::string> state_servers(std::string_view text, std::string_view key) {
    std::vector<std::string> servers;
    const auto value = state_value(text, key);
    if (!value) return servers;
    for_each_word(*value, [&](std::string_view word) {
        if (auto address = server_address(word)) append_unique(servers, std::move(*address));
    });
    return servers;
}

} // namespace wirelux::platform::linux_net
