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

namespace {

constexpr std::size_t kUuidTextLength = 36;

// "<uuid>-<if>" -> "<if>"; "-<if>" (no profile) -> "<if>".
std::optional<std::string> after_profile_id(std::string_view rest) {
    if (rest.starts_with('-')) rest.remove_prefix(1);
    else if (rest.size() > kUuidTextLength + 1 && rest[kUuidTextLength] == '-') rest.remove_prefix(kUuidTextLength + 1);
    else return std::nullopt;
    if (rest.empty()) return std::nullopt;
    return std::string(rest);
}

// One statement of a dhclient lease file, with the depth of the block it is in.
struct LeaseStatement {
    std::string_view text;
    int depth = 0;
    char end = ';'; // ';', or '{' / '}' for the words before a block opens or closes
};

// Splits the text at ';', '{' and '}' outside quoted strings; "#" comments run to the end of the line.
template <class F> void for_each_statement(std::string_view text, F&& f) {
    int depth = 0;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\') ++i;
            else if (c == '"') quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == '#') {
            const std::size_t eol = text.find('\n', i);
            const std::string_view before = trim(text.substr(start, i - start));
            if (!before.empty()) f(LeaseStatement{before, depth, ';'});
            i = eol == std::string_view::npos ? text.size() : eol;
            start = i + 1;
        } else if (c == ';' || c == '{' || c == '}') {
            f(LeaseStatement{trim(text.substr(start, i - start)), depth, c});
            if (c == '{') ++depth;
            if (c == '}' && depth > 0) --depth;
            start = i + 1;
        }
    }
}

// The first word and the rest of a statement.
std::pair<std::string_view, std::string_view> split_word(std::string_view statement) {
    const std::size_t space = statement.find_first_of(" \t\r\n");
    if (space == std::string_view::npos) return {statement, {}};
    return {statement.substr(0, space), trim(statement.substr(space + 1))};
}

std::string_view unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
    return text;
}

} // namespace

std::optional<LeaseFileName> lease_file_name(std::string_view name) {
    if (name.starts_with("dhclient6")) return std::nullopt;
    if (name.starts_with("internal-") && name.ends_with(".lease")) {
        name.remove_prefix(9);
        name.remove_suffix(6);
        if (auto interface = after_profile_id(name)) return LeaseFileName{LeaseFormat::KeyValue, std::move(*interface)};
        return std::nullopt;
    }
    if (name == "dhclient.leases") return LeaseFileName{LeaseFormat::Dhclient, {}};
    if (name.starts_with("dhclient-") && name.ends_with(".lease")) {
        name.remove_prefix(9);
        name.remove_suffix(6);
        if (auto interface = after_profile_id(name)) return LeaseFileName{LeaseFormat::Dhclient, std::move(*interface)};
        return std::nullopt;
    }
    if ((name.starts_with("dhclient.") || name.starts_with("dhclient-")) && name.ends_with(".leases")) {
        name.remove_prefix(9);
        name.remove_suffix(7);
        if (name.empty()) return std::nullopt;
        return LeaseFileName{LeaseFormat::Dhclient, std::string(name)};
    }
    return std::nullopt;
}

std::optional<std::string> dhclient_lease_server(std::string_view text, std::string_view interface,
                                                 bool for_interface_alone) {
    std::optional<std::string> newest;
    bool in_lease = false;
    std::optional<std::string_view> lease_interface;
    std::optional<std::string_view> lease_server;
    for_each_statement(text, [&](const LeaseStatement& s) {
        if (s.depth == 0 && s.end == '{') {
            in_lease = s.text == "lease";
            lease_interface.reset();
            lease_server.reset();
            return;
        }
        if (!in_lease) return;
        if (s.depth == 1 && s.end == ';') {
            const auto [word, rest] = split_word(s.text);
            if (word == "interface") lease_interface = unquoted(rest);
            if (word == "option") {
                const auto [option, value] = split_word(rest);
                if (option == "dhcp-server-identifier") lease_server = value;
            }
        } else if (s.depth == 1 && s.end == '}') {
            in_lease = false;
            const bool ours = lease_interface ? *lease_interface == interface : for_interface_alone;
            if (ours && lease_server) newest = server_address(*lease_server);
        }
    });
    return newest;
}

} // namespace wirelux::platform::linux_net
