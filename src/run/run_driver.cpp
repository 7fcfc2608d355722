#include "run/run_driver.h"

#include "facts/collect.h"
#include "graph/build_graph.h"
#include "graph/run_context.h"
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

namespace wirelux {

namespace {

constexpr unsigned kDnsCacheTimeoutMs = 1500;

bool env_set(const char* name) { return platform::environment_variable(name).has_value(); }

void prewarm_caches(RunContext& context) {
    timing_mark("prewarm-ping-start");
    const auto pings = ping_targets(context.snapshot, context.ping_cache);
    const auto echoes = parallel_map(pings, [](const std::string& target) { return platform::icmp_echo(target); }, "ping cache");
    for (std::size_t i = 0; i < pings.size(); ++i) context.ping_cache.emplace(pings[i], echoes[i]);
    timing_mark("prewarm-ping");

    const auto resolvers = dns_targets(context.snapshot, context.dns_cache);
    const auto answers = parallel_map(
        resolvers, [](const std::string& resolver) { return dns_probe(resolver, kDnsCacheTimeoutMs); }, "DNS cache");
    for (std::size_t i = 0; i < resolvers.size(); ++i) context.dns_cache.emplace(resolvers[i], answers[i]);
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

    FactSnapshot snapshot = collect_facts();
    Redaction redaction = sharing.redact ? Redaction::of(snapshot) : Redaction();
    const ReportValues values = redaction.active() ? ReportValues::redacted : ReportValues::as_collected;
    progress_tick("building topology");

    RunContext context(snapshot);
    context.wlan_text = redaction.text(platform::run_netsh("wlan", "show", "interfaces"));
    timing_mark("collect");
    prewarm_caches(context);

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
