#include "probe/campus_probes.h"

#include "model/address_tests.h"
#include "parallel/parallel_map.h"
#include "platform/socket.h"
#include "probe/dns_probe.h"
#include "probe/http_get.h"
#include "probe/page_title.h"
#include "util/text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

namespace wirelux {

namespace {

constexpr std::size_t kCommaFieldsNeeded = 9;

std::optional<HttpGetResult> get_or_nothing(const CampusNetwork& network, std::string_view host,
                                            std::uint16_t port, std::string_view path, unsigned timeout_ms) {
    if (!network.get) return std::nullopt;
    try {
        return network.get(host, port, path, timeout_ms);
    } catch (...) {
        return std::nullopt;
    }
}

DnsProbeResult dns_or_failure(const CampusNetwork& network, std::string_view resolver) {
    if (!network.dns) return {};
    try {
        return network.dns(resolver, kCampusDnsTimeoutMs);
    } catch (...) {
        return {};
    }
}

bool connects(const CampusNetwork& network, std::string_view host, std::uint16_t port, unsigned timeout_ms) {
    if (!network.connect) return false;
    try {
        return network.connect(host, port, timeout_ms);
    } catch (...) {
        return false;
    }
}

CampusTaskResult probe_api(const CampusNetwork& network) {
    CampusTaskResult result;
    result.http = get_or_nothing(network, kCampusApiHost, kCampusApiPort, "/", kCampusApiTimeoutMs);
    if (result.http) return result;

    // A host that takes connections but speaks no HTTP on them is still there.
    const auto start = std::chrono::steady_clock::now();
    if (connects(network, kCampusApiHost, kCampusApiPort, kCampusApiConnectTimeoutMs)) {
        result.fallback = FallbackOutcome::connected;
        result.fallback_elapsed = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
    } else {
        result.fallback = FallbackOutcome::failed;
    }
    return result;
}

// A member as text: strings unchanged, numbers in decimal, booleans as words, anything else empty.
std::string member_text(const nlohmann::json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) return {};
    const nlohmann::json& value = *it;
    if (value.is_string()) return value.get<std::string>();
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_number_integer()) return value.dump();
    if (value.is_number_float()) {
        // Counters sent as floating point (12345678901.0) would otherwise read as 1.2345678901e+10.
        const double d = value.get<double>();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e18) {
            char text[32];
            std::snprintf(text, sizeof text, "%.0f", d);
            return text;
        }
        return value.dump();
    }
    return {};
}

CampusLogin login_from_json(std::string_view text) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) return {};
    CampusLogin login;
    login.user_name = member_text(document, "user_name");
    login.online_ip = member_text(document, "online_ip");
    login.sum_bytes = member_text(document, "sum_bytes");
    login.sum_seconds = member_text(document, "sum_seconds");
    login.recognized = !login.user_name.empty();
    return login;
}

CampusLogin login_from_fields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        fields.push_back(
            text.substr(begin, comma == std::string_view::npos ? std::string_view::npos : comma - begin));
        if (comma == std::string_view::npos) break;
        begin = comma + 1;
    }
    if (fields.size() < kCommaFieldsNeeded) return {};
    CampusLogin login;
    login.user_name = std::string(fields[0]);
    login.online_ip = std::string(fields[8]);
    login.sum_bytes = std::string(fields[3]);
    login.sum_seconds = std::string(fields[4]);
    login.recognized = true;
    return login;
}

std::string dns_kind(const std::optional<DnsProbeResult>& result) {
    if (!result || !result->ok) return {};
    return is_fake_ip(result->answer) ? "proxy" : "direct";
}

} // namespace

CampusNetwork live_campus_network() {
    CampusNetwork network;
    network.get = [](std::string_view host, std::uint16_t port, std::string_view path, unsigned timeout_ms) {
        return http_get(host, port, path, {}, timeout_ms);
    };
    network.dns = [](std::string_view resolver, unsigned timeout_ms) {
        return dns_probe(resolver, timeout_ms);
    };
    network.connect = [](std::string_view host, std::uint16_t port, unsigned timeout_ms) {
        return static_cast<bool>(
            Socket::connect_tcp(host, port, timeout_ms)); // closed as it goes out of scope
    };
    return network;
}

CampusTaskResult run_campus_task(CampusTask task, const CampusNetwork& network) {
    CampusTaskResult result;
    switch (task) {
    case CampusTask::portal:
        result.http =
            get_or_nothing(network, kCampusPortalHost, kCampusPortalPort, "/", kCampusPortalTimeoutMs);
        break;
    case CampusTask::login:
        result.http = get_or_nothing(network, kCampusPortalHost, kCampusPortalPort, kCampusLoginPath,
                                     kCampusLoginTimeoutMs);
        break;
    case CampusTask::dns_primary:
        result.dns = dns_or_failure(network, kCampusResolvers[0]);
        break;
    case CampusTask::dns_backup:
        result.dns = dns_or_failure(network, kCampusResolvers[1]);
        break;
    case CampusTask::api:
        result = probe_api(network);
        break;
    }
    return result;
}

std::vector<CampusTask> campus_dispatch_order() {
    std::vector<CampusTask> order(std::begin(kCampusTasks), std::end(kCampusTasks));
    std::stable_sort(order.begin(), order.end(), [](CampusTask a, CampusTask b) {
        return campus_task_budget_ms(a) > campus_task_budget_ms(b);
    });
    return order;
}

std::vector<CampusTaskResult> run_campus_probes(const CampusNetwork& network, const MapOptions& options) {
    const std::vector<CampusTask> order = campus_dispatch_order();
    std::vector<CampusTaskResult> dispatched = parallel_map(
        order, [&network](CampusTask task) { return run_campus_task(task, network); }, kCampusProbesLabel,
        options);
    std::vector<CampusTaskResult> results(std::size(kCampusTasks));
    for (std::size_t i = 0; i < order.size(); ++i)
        results[static_cast<std::size_t>(order[i])] = std::move(dispatched[i]);
    return results;
}

CampusLogin parse_login_status(std::string_view body) {
    const std::string_view text = trim(body);
    if (text.starts_with('{')) return login_from_json(text);
    const std::size_t open = text.find('(');
    if (open != std::string::npos) {
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos || close < open) return {};
        return login_from_json(std::string_view(text).substr(open + 1, close - open - 1));
    }
    if (text.find(',') != std::string::npos) return login_from_fields(text);
    return {};
}

void store_campus_results(CampusFacts& campus, const std::vector<CampusTaskResult>& results) {
    const auto result_of = [&results](CampusTask task) -> const CampusTaskResult* {
        const auto i = static_cast<std::size_t>(task);
        return i < results.size() ? &results[i] : nullptr;
    };

    if (const CampusTaskResult* portal = result_of(CampusTask::portal); portal && portal->http) {
        campus.portal_ok = portal->http->status == 200;
        campus.portal_elapsed = static_cast<std::int64_t>(portal->http->elapsed);
        campus.portal_title = page_title(portal->http->body);
    }

    if (const CampusTaskResult* login = result_of(CampusTask::login); login && login->http)
        campus.login = parse_login_status(login->http->body);

    if (const CampusTaskResult* primary = result_of(CampusTask::dns_primary))
        campus.dns_primary = primary->dns;
    if (const CampusTaskResult* backup = result_of(CampusTask::dns_backup)) campus.dns_backup = backup->dns;
    campus.dns_primary_kind = dns_kind(campus.dns_primary);
    campus.dns_backup_kind = dns_kind(campus.dns_backup);

    if (const CampusTaskResult* api = result_of(CampusTask::api)) {
        if (api->http) {
            campus.api_reachable = true;
            campus.api_status = api->http->status;
            campus.api_elapsed = static_cast<std::int64_t>(api->http->elapsed);
            campus.api_title = page_title(api->http->body);
        } else {
            campus.api_reachable = api->fallback == FallbackOutcome::connected;
            campus.api_status = 0;
            campus.api_elapsed = campus.api_reachable ? static_cast<std::int64_t>(api->fallback_elapsed) : -1;
        }
    }
}

} // namespace wirelux
