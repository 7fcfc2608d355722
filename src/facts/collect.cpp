#include "facts/collect.h"

#include "facts/adapters_collect.h"
#include "facts/campus_collect.h"
#include "facts/core_infos.h"
#include "facts/echo_run.h"
#include "facts/egress.h"
#include "facts/gateway_probes.h"
#include "facts/interception.h"
#include "facts/interface_assessment.h"
#include "facts/os_identity.h"
#include "facts/physical_path.h"
#include "facts/processes.h"
#include "facts/proxy_endpoints.h"
#include "facts/proxy_scoring.h"
#include "facts/proxy_settings.h"
#include "facts/service_scan.h"
#include "facts/socket_snapshots.h"
#include "facts/software_scan.h"
#include "parallel/background.h"
#include "parallel/timing.h"
#include "platform/icmp.h"
#include "platform/process_env.h"
#include "platform/process_query.h"
#include "platform/routes.h"
#include "platform/services.h"
#include "platform/sockets.h"
#include "probe/proxy_protocol.h"
#include "probe/route_source.h"
#include "util/text.h"

#include <functional>
#include <future>
#include <system_error>

namespace wirelux {

namespace {

// The route/source probe runs beside the first phases; its connect time-out overlaps them.
std::future<RouteSourceProbe> start_route_source_probe() {
    try {
        return std::async(std::launch::async, probe_route_source);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, probe_route_source); // no thread to spare: run it when joined
    }
}

void record_proxy_environment(FactSnapshot& s) {
    const auto record = [&s](const char* name) {
        if (std::optional<std::string> value = platform::environment_variable(name))
            s.proxy_environment.emplace(name, std::move(*value));
    };
    for (const char* name : kProxyEnvironmentVariables)
        record(name);
    record(kNoProxyVariable);
}

// The listeners' scores from the live machine: its explicit proxy settings, its processes and the
// two proxy-protocol probes.
ProxyAssessmentLists score_listeners(const FactSnapshot& s) {
    const auto settings =
        explicit_proxy_setting_texts(s, [&s](std::string_view name) -> std::optional<std::string> {
            const auto found = s.proxy_environment.find(std::string(name));
            if (found == s.proxy_environment.end()) return std::nullopt;
            return found->second;
        });
    ScoringInputs inputs;
    inputs.endpoints = explicit_proxy_endpoints(settings, [](const ProxySettingText& setting) {
        std::vector<ExplicitEndpoint> endpoints;
        for (const ProxyEndpoint& e : parse_proxy_endpoints(setting.text, setting.source))
            endpoints.push_back({e.source, e.host, e.port});
        return endpoints;
    });
    inputs.probes.socks5 = [](const std::string& address, std::uint16_t port) { return socks5_probe(address, port); };
    inputs.probes.http_connect = [](const std::string& address, std::uint16_t port) {
        return http_connect_probe(address, port);
    };
    inputs.identity = platform::query_process;
    return assess_proxy_candidates(s, inputs);
}

} // namespace

std::vector<InterfaceAssessment> assessments_in_adapter_order(const FactSnapshot& snapshot) {
    std::vector<InterfaceAssessment> list;
    list.reserve(snapshot.adapters.size());
    for (const AdapterInfo& adapter : snapshot.adapters) {
        const auto it = snapshot.interfaces.find(adapter.if_index);
        list.push_back(it != snapshot.interfaces.end() ? it->second : InterfaceAssessment{});
    }
    return list;
}

std::set<std::string> own_names(const FactSnapshot& snapshot) {
    return {"localhost", to_lower_ascii(snapshot.computer_name)};
}

FactSnapshot collect_facts(const std::function<void(const FactSnapshot&)>& start_early_probes) {
    const EchoFn echo = [](const std::string& target) { return platform::icmp_echo(target); };
    FactSnapshot s;
    auto route_source = start_route_source_probe();
    // The process list and the running drivers and services need nothing collected before them: they
    // are read beside the first phases and the spaced socket-table reads, and taken in their phases.
    Background<std::vector<ProcessInfo>> process_list([] { return platform::read_process_list(); }, {});
    Background<std::vector<ServiceInfo>> drivers([] { return platform::list_running(platform::ServiceKind::Drivers); },
                                                 {});
    Background<std::vector<ServiceInfo>> services(
        [] { return platform::list_running(platform::ServiceKind::Services); }, {});

    collect_identity(s);
    collect_adapters_and_routes(s);
    s.interfaces = assess_interfaces(s);
    timing_mark("adapters+pnp+routes");

    assess_egress(s, platform::best_route(kInternetTargetV4), platform::best_route(kInternetTargetV6));
    check_internet_reachability(s, echo);
    timing_mark("egress+reachability");

    s.own_addresses = own_addresses(s.adapters);
    s.own_names = own_names(s);
    collect_system_proxy_settings(s);
    record_proxy_environment(s);
    record_processes(s, process_list.join());
    timing_mark("proxy-registry");

    collect_socket_snapshots(s, live_socket_readers());
    find_wininet_endpoint_owners(s);
    collect_software_hits(s);
    timing_mark("tcp-snapshots");

    record_proxy_assessment(s, score_listeners(s));
    timing_mark("listener-discovery");

    collect_vpn_services(s, ServiceLister{[&drivers] { return drivers.join(); }, [&services] { return services.join(); }});
    timing_mark("services");

    s.route_source_probe = route_source.get();
    timing_mark("route-source-probe");

    s.adapter_assessments = assessments_in_adapter_order(s);
    timing_mark("adapter-assessments");

    record_interception(s);
    timing_mark("intercept-score");

    collect_core_infos(s, live_core_sources());
    // From here on no source is read that could see this program's own probes (the socket tables, the
    // proxy core's connection list), so the probes whose targets are known by now start and overlap
    // the rest of the run; their phases only wait for them.
    CampusProbeRun campus(echo, live_campus_network());
    if (start_early_probes) start_early_probes(s);
    timing_mark("core-infos");

    find_physical_candidates(s);
    timing_mark("phys-candidates");
    choose_physical_gateway(s);
    timing_mark("phys-gw");
    probe_gateways(s, echo);
    timing_mark("gw-probes");

    campus.join_into(s);
    timing_mark("kam-facts");
    return s;
}

} // namespace wirelux
