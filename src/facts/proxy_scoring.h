#pragma once
// How strongly the evidence says that each local TCP listener is a proxy or tunnel entry point:
// explicit proxy settings that name it, its owner's identity, local clients connected to it, its port,
// and two bounded active protocol probes. Everything is read from the snapshot except the probes, the
// process identity query and the explicit endpoints, which the caller hands in so that the scoring runs
// on a hand-made snapshot with fake probes.

#include "model/proxy_assessment.h"
#include "model/snapshot.h"
#include "platform/process_query.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr std::size_t kSocks5ProbeBudget = 72;
inline constexpr std::size_t kHttpConnectProbeBudget = 36;
inline constexpr const char* kSocks5ProbeTask = "SOCKS5 probe";
inline constexpr const char* kHttpConnectProbeTask = "HTTP CONNECT probe";

// Only the upper-case names are read.
inline constexpr std::array<const char*, 5> kProxyEnvironmentVariables = {
    "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "FTP_PROXY", "SOCKS_PROXY"};
inline constexpr const char* kNoProxyVariable = "NO_PROXY";

// One proxy setting text and the label of where it came from ("WinINET", "WinHTTP", "ENV:HTTP_PROXY").
struct ProxySettingText {
    std::string source;
    std::string text;
};

// One host and port named by an explicit proxy setting.
struct ExplicitEndpoint {
    std::string source;
    std::string host;
    std::uint16_t port = 0;
};

// The setting texts that may name a proxy, in the order their endpoints are considered: WinINET (only
// when enabled and set), WinHTTP, then the environment variables that are present and non-empty.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;
std::vector<ProxySettingText> explicit_proxy_setting_texts(const FactSnapshot& snapshot,
                                                           const EnvironmentLookup& environment);

// The endpoints of every setting text, text by text, as the endpoint parser finds them.
using ProxyTextParser = std::function<std::vector<ExplicitEndpoint>(const ProxySettingText& setting)>;
std::vector<ExplicitEndpoint> explicit_proxy_endpoints(const std::vector<ProxySettingText>& settings,
                                                       const ProxyTextParser& parse);

// The active probes take the listener's own address text and port; choosing where to connect for a
// wildcard address is theirs. A missing function counts as a negative answer.
struct ScoringProbes {
    std::function<bool(const std::string& address, std::uint16_t port)> socks5;
    // A verdict label such as "HTTP CONNECT / established"; empty when nothing proxy-like answered.
    std::function<std::string(const std::string& address, std::uint16_t port)> http_connect;
};

struct ScoringInputs {
    std::vector<ExplicitEndpoint> endpoints;
    ScoringProbes probes;
    // Image path and command line of an owning process; missing means both empty.
    std::function<platform::ProcessIdentity(std::uint32_t pid)> identity;
};

struct ProxyAssessmentLists {
    std::vector<ListenerAssessment> listeners;  // by process id, then port
    std::vector<ListenerAssessment> candidates; // the "candidate" tier of listeners, same order
    std::vector<ProcessAssessment> processes;   // by process id
};

// Reads the listeners, TCP rows, process table and own address/name sets; runs at most 72 SOCKS5 and
// 36 HTTP CONNECT probes on the parallel task map.
ProxyAssessmentLists assess_proxy_candidates(const FactSnapshot& snapshot, const ScoringInputs& inputs);

// Stores the three lists and the lists derived from them (candidate processes, protocol-confirmed
// listeners and the owner process ids the interception score counts).
void record_proxy_assessment(FactSnapshot& snapshot, ProxyAssessmentLists lists);

} // namespace wirelux
