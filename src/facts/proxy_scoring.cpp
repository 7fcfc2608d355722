#include "facts/proxy_scoring.h"

#include "model/address_tests.h"
#include "parallel/parallel_map.h"
#include "platform/address_text.h"
#include "util/decimal.h"
#include "util/text.h"
#include "util/text_memo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace wirelux {

namespace {

// --- Identity and evidence.

constexpr std::array<std::uint16_t, 13> kCommonProxyPorts = {1080, 1081, 3128, 7890,  7891,  7892, 8080,
                                                             8118, 8888, 9050, 10808, 10809, 10080};

// Names of proxy, tunnel and VPN programs, matched anywhere in the lower-cased identity text. Plain
// substring searches: a case-insensitive regular expression of the same words was most of the scoring
// time on a busy machine.
constexpr std::string_view kKnownIdentityWords[] = {
    "mihomo",    "clash",  "verge",   "v2ray",     "xray",      "singbox",   "sing-box", "sing box",
    "shadowsocks", "ssr",  "trojan",  "naive",     "hysteria",  "tun2socks", "openvpn",  "wireguard",
    "tailscale", "zerotier", "gost",  "proxifier", "hiddify",   "surge"};
constexpr std::string_view kGenericIdentityWords[] = {"vpn", "proxy", "tunnel", "socks", "redirect"};

template <std::size_t N>
bool contains_any(std::string_view lower_text, const std::string_view (&words)[N]) {
    for (const std::string_view word : words)
        if (lower_text.find(word) != std::string_view::npos) return true;
    return false;
}

// Interactive applications that are rarely a proxy, matched as a whole word of the lower-cased
// identity text (between path separators and white space), with or without ".exe".
constexpr std::string_view kCommonAppNames[] = {
    "chrome",  "msedge", "firefox", "steam",  "steamwebhelper", "epicgameslauncher", "battle.net",
    "discord", "qq",     "weixin",  "wechat", "teams",          "spotify",           "onedrive",
    "outlook", "winword", "excel",  "powerpnt", "code",         "devenv"};

bool is_word_separator(char c) {
    return c == '\\' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool names_common_app(std::string_view lower_text) {
    std::size_t begin = 0;
    while (begin <= lower_text.size()) {
        std::size_t end = begin;
        while (end < lower_text.size() && !is_word_separator(lower_text[end]))
            ++end;
        std::string_view word = lower_text.substr(begin, end - begin);
        if (word.ends_with(".exe")) word.remove_suffix(4);
        for (const std::string_view name : kCommonAppNames)
            if (word == name) return true;
        begin = end + 1;
    }
    return false;
}

constexpr const char* kSignalSocks5 = "SOCKS5 negotiation";
constexpr const char* kSignalKnownIdentity = "known proxy/tunnel process identity";
constexpr const char* kSignalGenericIdentity = "generic proxy/vpn-like process identity (weak)";
constexpr const char* kSignalCommonPort = "common proxy port (weak)";
constexpr const char* kSignalCommonApp = "common interactive application negative prior";
constexpr const char* kSignalProbeNegative = "active proxy protocol probe negative";
constexpr const char* kSignalProbeSkipped = "active probe skipped by common-app negative prior";
constexpr const char* kSignalBudgetNotReached = "protocol probe budget not reached";

// What is known of an owning process; the same for every listener it owns, so worked out once.
struct OwnerIdentity {
    std::string name;
    bool known = false;
    bool generic = false;
    bool common_app = false;
};

// Identifies one listener in the probe outcomes: process id, address as stored and port.
std::string probe_key(const TcpRow& listener) {
    return std::to_string(listener.pid) + "|" + listener.local_address + "|" +
           std::to_string(listener.local_port);
}

struct ProbeRecord {
    TcpRow listener;
    const OwnerIdentity* owner = nullptr;
    std::vector<std::string> policy_sources;
    std::uint64_t remote_established = 0;
    std::uint64_t live_local_clients = 0;
    std::int64_t priority = 0;
    bool common_port = false;
    bool probe_worthy = false;
    bool socks5_ran = false;
    bool socks5_ok = false;
    bool connect_ran = false;
    std::string connect_label;

    std::uint32_t pid() const { return listener.pid; }
    std::uint16_t port() const { return listener.local_port; }
    bool explicit_policy() const { return !policy_sources.empty(); }
};

std::uint64_t pid_port_key(std::uint32_t pid, std::uint16_t port) {
    return (std::uint64_t{pid} << 16) | port;
}

// Step: which listener each explicit endpoint on this machine points at.
std::unordered_map<std::uint64_t, std::vector<std::string>>
policy_references(const FactSnapshot& snapshot, const std::vector<ExplicitEndpoint>& endpoints) {
    std::unordered_map<std::uint16_t, std::vector<const TcpRow*>> by_port;
    for (const TcpRow& listener : snapshot.tcp_listeners)
        by_port[listener.local_port].push_back(&listener);

    std::unordered_map<std::uint64_t, std::vector<std::string>> references;
    for (const ExplicitEndpoint& endpoint : endpoints) {
        const bool unspecified = is_unspecified_address(endpoint.host);
        if (!unspecified && !is_local_host(endpoint.host, snapshot.own_names, snapshot.own_addresses)) continue;
        const auto found = by_port.find(endpoint.port);
        if (found == by_port.end()) continue;
        const std::vector<const TcpRow*>& same_port = found->second;

        const TcpRow* chosen = nullptr;
        for (const TcpRow* listener : same_port) {
            if (same_address(listener->local_address, endpoint.host)) {
                chosen = listener;
                break;
            }
        }
        if (!chosen && is_loopback_host(endpoint.host)) {
            for (const TcpRow* listener : same_port) {
                if (is_loopback_host(listener->local_address) ||
                    is_unspecified_address(listener->local_address)) {
                    chosen = listener;
                    break;
                }
            }
        } else if (!chosen && unspecified) {
            chosen = same_port.front();
        }
        if (!chosen || chosen->pid == 0) continue;
        std::vector<std::string>& sources = references[pid_port_key(chosen->pid, chosen->local_port)];
        if (std::find(sources.begin(), sources.end(), endpoint.source) == sources.end())
            sources.push_back(endpoint.source);
    }
    return references;
}

// One pass over the connection rows: established connections of each process to non-local peers, and
// established connections from local peers per (process, local port).
struct ConnectionCounts {
    std::unordered_map<std::uint32_t, std::uint64_t> remote_by_pid;
    std::unordered_map<std::uint64_t, std::uint64_t> local_clients_by_pid_port;
};

enum class Peer { local, remote, neither };

Peer classify_peer(const FactSnapshot& snapshot, std::string_view remote) {
    if (is_local_host(remote, snapshot.own_names, snapshot.own_addresses)) return Peer::local;
    if (!remote.empty() && !is_unspecified_address(remote)) return Peer::remote;
    return Peer::neither;
}

ConnectionCounts count_connections(const FactSnapshot& snapshot) {
    ConnectionCounts counts;
    TextMemo<Peer> peer_of([&snapshot](std::string_view remote) { return classify_peer(snapshot, remote); });
    for (const TcpRow& row : snapshot.tcp_rows) {
        if (row.state != kTcpStateEstablished) continue;
        const Peer peer = peer_of(row.remote_address);
        if (peer == Peer::local)
            ++counts.local_clients_by_pid_port[pid_port_key(row.pid, row.local_port)];
        else if (peer == Peer::remote && row.pid != 0)
            ++counts.remote_by_pid[row.pid];
    }
    return counts;
}

OwnerIdentity identify_owner(const FactSnapshot& snapshot, const ScoringInputs& inputs, std::uint32_t pid) {
    OwnerIdentity owner;
    if (const auto it = snapshot.processes.find(pid); it != snapshot.processes.end())
        owner.name = it->second.name;
    platform::ProcessIdentity identity;
    if (inputs.identity) identity = inputs.identity(pid);
    const std::string text = identity.image_path + " " + identity.command_line + " " + owner.name;
    const std::string lower = to_lower_ascii(text);
    owner.known = contains_any(lower, kKnownIdentityWords);
    if (!owner.known) {
        owner.generic = contains_any(lower, kGenericIdentityWords);
        owner.common_app = names_common_app(lower);
    }
    return owner;
}

std::int64_t probe_priority(const ProbeRecord& record) {
    std::int64_t priority = record.explicit_policy() ? 2600 : 0;
    if (record.owner->known)
        priority += 1800;
    else if (record.owner->generic)
        priority += 180;
    if (record.common_port) priority += 250;
    priority += static_cast<std::int64_t>(std::min<std::uint64_t>(record.live_local_clients, 4)) * 180;
    priority += static_cast<std::int64_t>(std::min<std::uint64_t>(record.remote_established, 42)) * 10;
    if (record.owner->common_app) priority -= 1200;
    return priority;
}

bool is_probe_worthy(const ProbeRecord& record) {
    return !record.owner->common_app || record.explicit_policy() || record.owner->known ||
           record.common_port || record.live_local_clients > 0;
}

bool deserves_connect_probe(const ProbeRecord& record) {
    return record.explicit_policy() || record.owner->known || record.owner->generic || record.common_port ||
           record.live_local_clients > 0;
}

// A probe that throws is a probe that found nothing.
bool run_socks5(const ScoringProbes& probes, const TcpRow& listener) {
    if (!probes.socks5) return false;
    try {
        return probes.socks5(listener.local_address, listener.local_port);
    } catch (...) {
        return false;
    }
}

std::string run_http_connect(const ScoringProbes& probes, const TcpRow& listener) {
    if (!probes.http_connect) return {};
    try {
        return probes.http_connect(listener.local_address, listener.local_port);
    } catch (...) {
        return {};
    }
}

// Both budgets walk the probe order; the CONNECT selection needs the SOCKS5 answers, so the two batches
// run one after the other.
void run_active_probes(const std::vector<ProbeRecord*>& probe_order, const ScoringProbes& probes) {
    std::vector<const TcpRow*> socks5_targets;
    for (const ProbeRecord* record : probe_order) {
        if (socks5_targets.size() == kSocks5ProbeBudget) break;
        if (record->probe_worthy) socks5_targets.push_back(&record->listener);
    }
    const std::vector<bool> socks5_answers = parallel_map(
        socks5_targets, [&probes](const TcpRow* listener) { return run_socks5(probes, *listener); },
        kSocks5ProbeTask);
    std::unordered_map<std::string, bool> socks5_by_key;
    for (std::size_t i = 0; i < socks5_targets.size(); ++i) {
        socks5_by_key[probe_key(*socks5_targets[i])] = socks5_answers[i];
    }
    for (ProbeRecord* record : probe_order) {
        const auto it = socks5_by_key.find(probe_key(record->listener));
        record->socks5_ran = it != socks5_by_key.end();
        record->socks5_ok = record->socks5_ran && it->second;
    }

    std::vector<const TcpRow*> connect_targets;
    for (const ProbeRecord* record : probe_order) {
        if (connect_targets.size() == kHttpConnectProbeBudget) break;
        if (record->probe_worthy && !record->socks5_ok && deserves_connect_probe(*record))
            connect_targets.push_back(&record->listener);
    }
    const std::vector<std::string> connect_labels = parallel_map(
        connect_targets, [&probes](const TcpRow* listener) { return run_http_connect(probes, *listener); },
        kHttpConnectProbeTask);
    std::unordered_map<std::string, std::string> connect_by_key;
    for (std::size_t i = 0; i < connect_targets.size(); ++i) {
        connect_by_key[probe_key(*connect_targets[i])] = connect_labels[i];
    }
    for (ProbeRecord* record : probe_order) {
        const auto it = connect_by_key.find(probe_key(record->listener));
        record->connect_ran = it != connect_by_key.end();
        if (record->connect_ran) record->connect_label = it->second;
    }
}

std::string endpoint_text(const std::string& address, std::uint16_t port) {
    const bool bracket = address.find(':') != std::string::npos;
    return (bracket ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

ListenerAssessment score(const ProbeRecord& record) {
    double total = 0.0;
    std::vector<std::string> signals;
    const auto add = [&](std::string signal, double weight) {
        signals.push_back(std::move(signal));
        total += weight;
    };
    const OwnerIdentity& owner = *record.owner;
    if (record.socks5_ok) add(kSignalSocks5, 8.0);
    if (!record.connect_label.empty()) add(record.connect_label, 7.0);
    if (record.explicit_policy())
        add("explicit proxy policy references listener (" + join(record.policy_sources, ", ") + ")", 5.0);
    if (owner.known)
        add(kSignalKnownIdentity, 4.0);
    else if (owner.generic)
        add(kSignalGenericIdentity, 1.0);
    if (record.live_local_clients > 0)
        add(std::to_string(record.live_local_clients) + " live local client connection(s)", 3.0);
    if (record.common_port) add(kSignalCommonPort, 0.5);
    if (record.remote_established > 0)
        add(std::to_string(record.remote_established) + " remote established socket(s), ranking only", 0.0);
    if (owner.common_app) add(kSignalCommonApp, -2.5);
    if (!record.socks5_ok && record.connect_label.empty() && (record.socks5_ran || record.connect_ran) &&
        !record.explicit_policy() && !owner.known)
        add(kSignalProbeNegative, -0.75);
    if (!record.probe_worthy)
        add(kSignalProbeSkipped, 0.0);
    else if (!record.socks5_ran && !record.connect_ran)
        add(kSignalBudgetNotReached, 0.0);

    ListenerAssessment assessment;
    assessment.endpoint = endpoint_text(record.listener.local_address, record.port());
    assessment.address = record.listener.local_address;
    assessment.process_name = owner.name;
    assessment.tier = total >= 4.0 ? kTierCandidate : total >= 2.0 ? kTierInvestigate : kTierInventory;
    assessment.signals = join(signals, " + ");
    assessment.live_local_clients = record.live_local_clients;
    assessment.remote_established = record.remote_established;
    assessment.score = round_two_decimals(total);
    assessment.pid = record.pid();
    assessment.port = record.port();
    assessment.common_app = owner.common_app;
    assessment.is_candidate = assessment.tier == kTierCandidate;
    return assessment;
}

bool protocol_confirmed(const ListenerAssessment& listener) {
    return listener.signals.find("SOCKS5") != std::string::npos ||
           listener.signals.find("HTTP CONNECT") != std::string::npos;
}

// The listeners arrive grouped by process id, so one pass builds every group.
std::vector<ProcessAssessment> aggregate_by_process(const std::vector<ListenerAssessment>& listeners) {
    std::vector<ProcessAssessment> processes;
    std::size_t begin = 0;
    while (begin < listeners.size()) {
        std::size_t end = begin;
        while (end < listeners.size() && listeners[end].pid == listeners[begin].pid)
            ++end;

        ProcessAssessment process;
        process.pid = listeners[begin].pid;
        const ListenerAssessment* best = nullptr;
        bool any_investigate = false;
        std::vector<std::string_view> digest; // views of the listeners' signals
        for (std::size_t i = begin; i < end; ++i) {
            const ListenerAssessment& listener = listeners[i];
            if (!best || listener.score >= best->score) best = &listener; // ties go to the later one
            ++process.listener_count;
            if (listener.is_candidate) ++process.candidate_count;
            if (listener.tier == kTierInvestigate) any_investigate = true;
            if (protocol_confirmed(listener)) ++process.protocol_confirmed_count;
            process.max_live_local_clients =
                std::max(process.max_live_local_clients, listener.live_local_clients);
            process.max_remote_established =
                std::max(process.max_remote_established, listener.remote_established);
            process.common_app = process.common_app || listener.common_app;
            if (!listener.signals.empty()) digest.push_back(listener.signals);
        }
        process.process_name = best->process_name;
        process.best_score = best->score;
        process.tier = process.candidate_count > 0 ? kTierCandidate
                       : any_investigate           ? kTierInvestigate
                                                   : kTierInventory;
        std::sort(digest.begin(), digest.end());
        digest.erase(std::unique(digest.begin(), digest.end()), digest.end());
        if (digest.size() > 3) digest.resize(3);
        process.signal_digest = join(digest, " | ", [](std::string_view signals) { return signals; });
        processes.push_back(std::move(process));
        begin = end;
    }
    return processes;
}

} // namespace

std::vector<ProxySettingText> explicit_proxy_setting_texts(const FactSnapshot& snapshot,
                                                           const EnvironmentLookup& environment) {
    std::vector<ProxySettingText> settings;
    if (snapshot.wininet_enable && !snapshot.wininet_server.empty())
        settings.push_back({"WinINET", snapshot.wininet_server});
    if (!snapshot.winhttp_text.empty()) settings.push_back({"WinHTTP", snapshot.winhttp_text});
    if (!environment) return settings;
    for (const char* name : kProxyEnvironmentVariables) {
        std::optional<std::string> value = environment(name);
        if (value && !value->empty()) settings.push_back({std::string("ENV:") + name, std::move(*value)});
    }
    return settings;
}

std::vector<ExplicitEndpoint> explicit_proxy_endpoints(const std::vector<ProxySettingText>& settings,
                                                       const ProxyTextParser& parse) {
    std::vector<ExplicitEndpoint> endpoints;
    if (!parse) return endpoints;
    for (const ProxySettingText& setting : settings) {
        std::vector<ExplicitEndpoint> found = parse(setting);
        endpoints.insert(endpoints.end(), std::make_move_iterator(found.begin()),
                         std::make_move_iterator(found.end()));
    }
    return endpoints;
}

ProxyAssessmentLists assess_proxy_candidates(const FactSnapshot& snapshot, const ScoringInputs& inputs) {
    const auto references = policy_references(snapshot, inputs.endpoints);
    const ConnectionCounts counts = count_connections(snapshot);

    std::unordered_map<std::uint32_t, OwnerIdentity> owners;
    std::vector<ProbeRecord> records;
    records.reserve(snapshot.tcp_listeners.size());
    for (const TcpRow& listener : snapshot.tcp_listeners) {
        if (listener.pid == 0) continue;
        if (!is_loopback_host(listener.local_address) && !is_unspecified_address(listener.local_address))
            continue;
        ProbeRecord record;
        record.listener = listener;
        auto owner = owners.find(listener.pid);
        if (owner == owners.end())
            owner = owners.emplace(listener.pid, identify_owner(snapshot, inputs, listener.pid)).first;
        record.owner = &owner->second; // node-based map: the address stays put while others are added
        record.common_port = std::find(kCommonProxyPorts.begin(), kCommonProxyPorts.end(),
                                       listener.local_port) != kCommonProxyPorts.end();
        if (const auto it = counts.remote_by_pid.find(listener.pid); it != counts.remote_by_pid.end())
            record.remote_established = it->second;
        const std::uint64_t key = pid_port_key(listener.pid, listener.local_port);
        if (const auto it = counts.local_clients_by_pid_port.find(key);
            it != counts.local_clients_by_pid_port.end())
            record.live_local_clients = it->second;
        if (const auto it = references.find(key); it != references.end()) record.policy_sources = it->second;
        record.priority = probe_priority(record);
        record.probe_worthy = is_probe_worthy(record);
        records.push_back(std::move(record));
    }

    // The records stay put; their order is sorted by reference, which moves far less than the records.
    std::vector<ProbeRecord*> order;
    order.reserve(records.size());
    for (ProbeRecord& record : records)
        order.push_back(&record);
    std::stable_sort(order.begin(), order.end(), [](const ProbeRecord* a, const ProbeRecord* b) {
        if (a->priority != b->priority) return a->priority > b->priority;
        if (a->live_local_clients != b->live_local_clients) return a->live_local_clients > b->live_local_clients;
        if (a->remote_established != b->remote_established) return a->remote_established > b->remote_established;
        if (a->pid() != b->pid()) return a->pid() < b->pid();
        return a->port() < b->port();
    });
    run_active_probes(order, inputs.probes);

    std::stable_sort(order.begin(), order.end(), [](const ProbeRecord* a, const ProbeRecord* b) {
        if (a->pid() != b->pid()) return a->pid() < b->pid();
        return a->port() < b->port();
    });
    ProxyAssessmentLists lists;
    lists.listeners.reserve(order.size());
    for (const ProbeRecord* record : order)
        lists.listeners.push_back(score(*record));
    for (const ListenerAssessment& listener : lists.listeners)
        if (listener.is_candidate) lists.candidates.push_back(listener);
    lists.processes = aggregate_by_process(lists.listeners);
    return lists;
}

void record_proxy_assessment(FactSnapshot& snapshot, ProxyAssessmentLists lists) {
    snapshot.listener_assessments = std::move(lists.listeners);
    snapshot.candidate_listeners = std::move(lists.candidates);
    snapshot.process_assessments = std::move(lists.processes);

    snapshot.candidate_processes.clear();
    for (const ProcessAssessment& process : snapshot.process_assessments)
        if (process.tier == kTierCandidate) snapshot.candidate_processes.push_back(process);

    snapshot.protocol_proxy_listeners.clear();
    snapshot.protocol_proxy_pids.clear();
    snapshot.proxy_like_listener_pids.clear();
    for (const ListenerAssessment& listener : snapshot.candidate_listeners) {
        snapshot.proxy_like_listener_pids.push_back(listener.pid);
        if (!protocol_confirmed(listener)) continue;
        snapshot.protocol_proxy_listeners.push_back(listener);
        snapshot.protocol_proxy_pids.push_back(listener.pid);
    }
    for (std::vector<std::uint32_t>* pids :
         {&snapshot.protocol_proxy_pids, &snapshot.proxy_like_listener_pids}) {
        std::sort(pids->begin(), pids->end());
        pids->erase(std::unique(pids->begin(), pids->end()), pids->end());
    }
}

} // namespace wirelux
