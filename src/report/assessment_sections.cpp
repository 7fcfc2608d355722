// The assessment sections: how the collector judged adapters, listeners, processes, drivers and the
// route/source probe, and the raw interception evidence behind the header's verdict.

#include "report/report_tables.h"
#include "util/decimal.h"
#include "util/text.h"

#include <initializer_list>

namespace wirelux::report_detail {

namespace {

// Sentences are joined with the separator the rest of the report uses for composite texts, because
// they contain commas themselves.
constexpr std::string_view kSentenceJoin = " \u00b7 ";

const char* yes_no(bool value) {
    return value ? "yes" : "no";
}

void add_table(std::string& out, std::string_view summary, const std::vector<std::string>& headers,
               const TableRows& rows) {
    append_table_section(out, summary, headers, rows);
    out += '\n';
}

TableRows adapter_role_rows(const FactSnapshot& s) {
    TableRows rows;
    rows.reserve(s.adapter_assessments.size());
    for (const InterfaceAssessment& a : s.adapter_assessments)
        rows.push_back({a.role, two_decimals_text(a.role_confidence), std::to_string(a.if_index), a.name,
                        yes_no(a.is_physical), yes_no(a.is_virtual), a.service,
                        join_non_empty({a.provider_name, a.driver_version, a.inf_path}, kSentenceJoin),
                        a.fake_ip_addresses, a.fake_ip_dns, join(a.evidence, kSentenceJoin)});
    return rows;
}

TableRows process_rows(const FactSnapshot& s) {
    TableRows rows;
    rows.reserve(s.process_assessments.size());
    for (const ProcessAssessment& p : s.process_assessments)
        rows.push_back({p.tier, std::to_string(p.pid), p.process_name, two_decimals_text(p.best_score),
                        std::to_string(p.listener_count), std::to_string(p.candidate_count),
                        std::to_string(p.protocol_confirmed_count), std::to_string(p.max_live_local_clients),
                        std::to_string(p.max_remote_established), yes_no(p.common_app), p.signal_digest});
    return rows;
}

TableRows listener_rows(const FactSnapshot& s) {
    TableRows rows;
    rows.reserve(s.listener_assessments.size());
    for (const ListenerAssessment& l : s.listener_assessments)
        rows.push_back({l.tier, l.endpoint, std::to_string(l.pid), l.process_name, two_decimals_text(l.score),
                        std::to_string(l.live_local_clients), std::to_string(l.remote_established),
                        yes_no(l.common_app), l.signals});
    return rows;
}

TableRows driver_service_rows(const FactSnapshot& s) {
    TableRows rows;
    rows.reserve(s.vpn_drivers.size() + s.vpn_services.size());
    for (const ServiceInfo& d : s.vpn_drivers)
        rows.push_back({"driver", d.name, d.display_name, d.state, d.binary_path});
    for (const ServiceInfo& v : s.vpn_services)
        rows.push_back({"service", v.name, v.display_name, v.state, v.binary_path});
    return rows;
}

TableRows route_source_rows(const FactSnapshot& s) {
    if (!s.route_source_probe) return {};
    const RouteSourceProbe& p = *s.route_source_probe;
    return {{p.target, yes_no(p.connected), std::to_string(p.route_interface),
             std::to_string(p.socket_interface), p.source, yes_no(p.mismatch)}};
}

std::string raw_interception_block(const FactSnapshot& s) {
    std::string out = R"(<div class="kv"><div><span class="k">Raw evidence level</span><span class="v">)";
    out += html_escape(s.intercept_level);
    out += R"(</span></div><div><span class="k">Score</span><span class="v">)";
    out += two_decimals_text(s.intercept_score);
    out += R"(</span></div><div><span class="k">Signals</span><span class="v">)";
    out += html_escape(join(s.intercept_reasons, kSentenceJoin));
    out += "</span></div></div>";
    return out;
}

} // namespace

void append_assessment_sections(std::string& out, const FactSnapshot& s) {
    add_table(out, "V5.2 adapter role assessment",
              {"Role", "Confidence", "ifIndex", "Name", "Physical", "Virtual", "Service", "Driver", "FakeIP",
               "FakeDNS", "Signals"},
              adapter_role_rows(s));
    add_table(out, "V5.2 proxy candidate processes (entity-level)",
              {"Tier", "PID", "Process", "MaxScore", "Listeners", "CandidateEndpoints", "ProtocolEndpoints",
               "LocalClients", "RemoteEstablished", "KnownAppPrior", "Evidence"},
              process_rows(s));
    add_table(out, "V5.2 all local listener inventory (audit / collapsed)",
              {"Tier", "Local", "PID", "Process", "ProxyScore", "LocalClients", "RemoteEstablished",
               "KnownAppPrior", "Signature"},
              listener_rows(s));
    add_table(out, "V5.2 interception drivers / services", {"Type", "Name", "Display", "State", "Path"},
              driver_service_rows(s));
    add_table(out, "V5.2 active route/source consistency probe",
              {"Target", "Connected", "FindNetRouteIf", "SocketSourceIf", "Source", "Mismatch"},
              route_source_rows(s));
    out += render_section("V5.2 raw interception evidence assessment", raw_interception_block(s));
    out += '\n';
}

} // namespace wirelux::report_detail
