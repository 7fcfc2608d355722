#pragma once
// The service probes of the KAM campus network: its srun login portal, its API host and its two
// resolvers, all at fixed private addresses that simply do not answer anywhere else.

#include "model/campus_facts.h"
#include "model/probe_results.h"
#include "parallel/parallel_map.h"

#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr const char* kCampusProbesLabel = "KAM probes";

inline constexpr const char* kCampusPortalHost = "10.0.0.55";
inline constexpr std::uint16_t kCampusPortalPort = 80;
inline constexpr const char* kCampusLoginPath = "/cgi-bin/rad_user_info";
inline constexpr const char* kCampusApiHost = "10.0.0.54";
inline constexpr std::uint16_t kCampusApiPort = 8800;

inline constexpr unsigned kCampusPortalTimeoutMs = 8000;
inline constexpr unsigned kCampusLoginTimeoutMs = 6000;
inline constexpr unsigned kCampusDnsTimeoutMs = 4000;
inline constexpr unsigned kCampusApiTimeoutMs = 6000;
inline constexpr unsigned kCampusApiConnectTimeoutMs = 1400;

// The five probes, in this order; results come back in the same order.
enum class CampusTask : std::uint8_t { portal, login, dns_primary, dns_backup, api };
inline constexpr CampusTask kCampusTasks[] = {CampusTask::portal, CampusTask::login, CampusTask::dns_primary,
                                              CampusTask::dns_backup, CampusTask::api};

// The longest a task can take: its time-outs end to end.
constexpr unsigned campus_task_budget_ms(CampusTask task) {
    switch (task) {
    case CampusTask::portal: return kCampusPortalTimeoutMs;
    case CampusTask::login: return kCampusLoginTimeoutMs;
    case CampusTask::dns_primary:
    case CampusTask::dns_backup: return kCampusDnsTimeoutMs;
    case CampusTask::api: return kCampusApiTimeoutMs + kCampusApiConnectTimeoutMs;
    }
    return 0;
}

enum class FallbackOutcome : std::uint8_t { not_attempted, connected, failed };

struct CampusTaskResult {
    std::optional<HttpGetResult> http;  // portal, login and API: absent when the GET got no response
    std::optional<DnsProbeResult> dns;  // the two resolvers
    std::uint64_t fallback_elapsed = 0; // API only: how long the fallback connect took when it succeeded
    FallbackOutcome fallback = FallbackOutcome::not_attempted;
};

// The network operations the probes make, passed in so that the probe logic runs on fakes too.
struct CampusNetwork {
    std::function<std::optional<HttpGetResult>(std::string_view host, std::uint16_t port,
                                               std::string_view path, unsigned timeout_ms)>
        get;
    std::function<DnsProbeResult(std::string_view resolver, unsigned timeout_ms)> dns;
    // True when a TCP connection could be made; it is closed again at once.
    std::function<bool(std::string_view host, std::uint16_t port, unsigned timeout_ms)> connect;
};

// The program's own GET, DNS probe and TCP connect.
CampusNetwork live_campus_network();

// One probe; a missing or throwing operation counts as no answer.
CampusTaskResult run_campus_task(CampusTask task, const CampusNetwork& network);

// The order the tasks are handed to workers: the longest budget first, so that four workers already
// finish within the longest single budget.
std::vector<CampusTask> campus_dispatch_order();

// All five probes as one parallel task map run, by default with a worker for each; the results are in
// task order whatever the dispatch order.
std::vector<CampusTaskResult> run_campus_probes(const CampusNetwork& network,
                                                const MapOptions& options = {std::size(kCampusTasks)});

// The srun login figures in the body of the rad_user_info answer: a JSON object, the same wrapped in a
// JSONP callback, or the older comma-separated form.
CampusLogin parse_login_status(std::string_view body);

// Folds the five results (in task order) into the campus block: portal, login, resolvers and API.
// Reachability and routes are not the probes' business and are left as they are.
void store_campus_results(CampusFacts& campus, const std::vector<CampusTaskResult>& results);

} // namespace wirelux
