#include "run/run_driver.h"

#include "facts/collect.h"
#include "graph/build_graph.h"
#include "graph/run_context.h"
#include "parallel/background.h"
#include "parallel/parallel_map.h"
#include "parallel/progress.h"
#include "parallel/timing.h"
#include "platform/clock.h"
#include "platform/command_runner.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/icmp.h"
#include "platform/process_env.h"
#include "probe/dns_probe.h"
#include "report/report_page.h"
#include "run/console_summary.h"
#include "run/probe_targets.h"
#include "run/report_file.h"
#include "share/facts_json.h"
#include "share/redaction.h"
#include "share/sharing_switches.h"

#include <algorithm>
#include <map>

namespace wirelux {

namespace {

constexpr unsigned kDnsCacheTimeoutMs = 1500;

bool env_set(const char* name) { return platform::environment_variable(name).has_value(); }

EchoResult echo_or_unanswered(const std::string& target) {
    try {
        return platform::icmp_echo(target);
    } catch (...) {
        return {};
    }
}

DnsProbeResult dns_or_failure(const std::string& resolver) {
    try {
        return dns_probe(resolver, kDnsCacheTimeoutMs);
    } catch (...) {
        return {};
    }
}

// The cache entries the collected facts already name (default gateways, adapters' resolvers) and those
// of the fixed targets, probed in the background from when collection allows it until the driver
// fills the caches. Silent on the meter: the cache phases count them.
struct EarlyCacheProbes {
    std::vector<std::string> pinged;
    std::vector<std::string> queried;
    Background<std::vector<EchoResult>> echoes;
    Background<std::vector<DnsProbeResult>> answers;

    void start(const FactSnapshot& snapshot) {
        pinged = ping_targets(snapshot, {});
        queried = dns_targets(snapshot, {});
        echoes = Background<std::vector<EchoResult>>(
            [targets = pinged] {
                return parallel_map(targets, echo_or_unanswered, "ping cache", {0, MapProgress::silent});
            },
            {});
        answers = Background<std::vector<DnsProbeResult>>(
            [targets = queried] {
                return parallel_map(targets, dns_or_failure, "DNS cache", {0, MapProgress::silent});
            },
            {});
    }
};

// Fills the cache with an entry for every target: from the early results where the target has one,
// the rest probed now. Every target is one unit on the meter under the label, as a map run of them all.
template <class Result, class Probe>
void fill_cache(std::map<std::string, Result>& cache, const std::vector<std::string>& targets,
                const std::vector<std::string>& early_targets, std::vector<Result> early, Probe probe,
                std::string_view label) {
    progress_add_total(targets.size());
    std::vector<std::string> rest;
    for (const std::string& target : targets) {
        const auto found = std::find(early_targets.begin(), early_targets.end(), target);
        const auto i = static_cast<std::size_t>(found - early_targets.begin());
        if (found == early_targets.end() || i >= early.size()) {
            rest.push_back(target);
            continue;
        }
        cache.emplace(target, std::move(early[i]));
        progress_tick(label);
    }
    const std::vector<Result> results = parallel_map(rest, probe, label, {0, MapProgress::ticks_only});
    for (std::size_t i = 0; i < rest.size(); ++i) cache.emplace(rest[i], results[i]);
}

void prewarm_caches(RunContext& context, EarlyCacheProbes& early) {
    timing_mark("prewarm-ping-start");
    fill_cache(context.ping_cache, ping_targets(context.snapshot, context.ping_cache), early.pinged,
               early.echoes.join(), echo_or_unanswered, "ping cache");
    timing_mark("prewarm-ping");
    fill_cache(context.dns_cache, dns_targets(context.snapshot, context.dns_cache), early.queried,
               early.answers.join(), dns_or_failure, "DNS cache");
    timing_mark("prewarm-done");
}

} // namespace

bool decide_progress(const std::vector<std::string>& tokens, bool no_progress_env, bool stderr_terminal,
                     bool force_env) {
    if (std::find(tokens.begin(), tokens.end(), "--no-progress") != tokens.end()) return false;
    if (no_progress_env) return false;
    return stderr_terminal || force_env;
}

int run_wirelux() {
    platform::console_setup();
    const std::vector<std::string> tokens = platform::command_line_tokens();
    const SharingSwitches sharing = sharing_switches(tokens);
    progress_init(decide_progress(tokens, env_set("WIRELUX_NO_PROGRESS"), platform::stderr_is_terminal(),
                                  env_set("WIRELUX_FORCE_PROGRESS")));

    // The Wi-Fi text comes from a child program that needs nothing collected: it runs beside collection.
    Background<std::string> wlan([] { return platform::run_netsh("wlan", "show", "interfaces"); }, {});
    EarlyCacheProbes early;
    FactSnapshot snapshot = collect_facts([&early](const FactSnapshot& collected) { early.start(collected); });
    Redaction redaction = sharing.redact ? Redaction::of(snapshot) : Redaction();
    const ReportValues values = redaction.active() ? ReportValues::redacted : ReportValues::as_collected;
    progress_tick("building topology");

    RunContext context(snapshot);
    context.wlan_text = redaction.text(wlan.join());
    timing_mark("collect");
    prewarm_caches(context, early);

    const GraphDocument graph =
        build_graph(context, [](const std::string& target) { return platform::icmp_echo(target); },
                    [](const std::string& resolver) { return dns_probe(resolver, kDnsCacheTimeoutMs); });
    timing_mark("graph-build");

    progress_tick("rendering report");
    const std::string html = render_report(snapshot, graph, context.ping_cache, values);
    timing_mark("render-doc");

    progress_erase();
    print_console_summary(snapshot, redaction);
    platform::flush_stdout();

    const platform::LocalTime now = platform::local_time();
    const ReportWrite written = write_report_file(html, now, values);
    platform::write_stdout(written.message);
    if (sharing.json) platform::write_stdout(write_json_file(facts_json_document(snapshot, graph), now).message);
    if (!env_set("WIRELUX_NO_OPEN")) platform::open_in_current_directory(written.file_name);
    return 0;
}

} // namespace wirelux
