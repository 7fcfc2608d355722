#include "mihomo/controller.h"

#include "model/address_tests.h"
#include "util/text.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace wirelux {
namespace {

constexpr std::string_view kDefaultControllers[] = {"127.0.0.1:9097", "127.0.0.1:9090"};
constexpr std::uint16_t kLowestCorePort = 1024;

} // namespace

std::string ControllerAddress::text() const {
    const bool bracket = host.find(':') != std::string::npos;
    return "http://" + (bracket ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ControllerAddress> parse_controller_address(std::string_view text) {
    text = trim(text);
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (starts_with_ci(text, scheme)) {
            text.remove_prefix(scheme.size());
            break;
        }
    }
    text = text.substr(0, text.find('/'));
    std::string_view host = text;
    unsigned port = 80;
    if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        const std::string_view digits = text.substr(colon + 1);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535)
            return std::nullopt;
    }
    while (host.starts_with('['))
        host.remove_prefix(1);
    while (host.ends_with(']'))
        host.remove_suffix(1);
    ControllerAddress address;
    // ":9090" is how a core is told to listen on every interface, like "0.0.0.0:9090".
    address.host = host.empty() || host == "0.0.0.0" || host == "::" ? "127.0.0.1" : std::string(host);
    address.port = static_cast<std::uint16_t>(port);
    return address;
}

std::vector<ControllerAddress> controller_candidates(std::string_view configured,
                                                     const std::vector<TcpRow>& core_listeners) {
    std::set<std::string> texts;
    if (!configured.empty() && !configured.starts_with('\\')) texts.emplace(configured);
    for (const std::string_view fallback : kDefaultControllers)
        texts.emplace(fallback);
    for (const TcpRow& listener : core_listeners) {
        if (listener.local_port > kLowestCorePort &&
            (is_loopback_host(listener.local_address) || is_unspecified_address(listener.local_address)))
            texts.insert("127.0.0.1:" + std::to_string(listener.local_port));
    }
    std::vector<ControllerAddress> candidates;
    for (const std::string& text : texts) {
        const auto address = parse_controller_address(text);
        // "0.0.0.0:9090" and "127.0.0.1:9090" are one controller; it is asked once.
        if (address && std::find(candidates.begin(), candidates.end(), *address) == candidates.end())
            candidates.push_back(*address);
    }
    return candidates;
}

HttpHeaders controller_headers(std::string_view secret) {
    if (secret.empty()) return {};
    return {{"Authorization", "Bearer " + std::string(secret)}};
}

bool controller_answered(const std::optional<HttpGetResult>& reply) {
    return reply && reply->status == 200 && !is_blank(reply->body);
}

} // namespace wirelux
