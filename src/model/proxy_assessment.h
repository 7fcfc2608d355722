#pragma once
// Per-listener and per-process proxy scores.

#include <cstdint>
#include <string>

namespace wirelux {

inline constexpr const char* kTierInventory = "inventory";
inline constexpr const char* kTierInvestigate = "investigate";
inline constexpr const char* kTierCandidate = "candidate";

struct ListenerAssessment {
    std::string endpoint; // "address:port", IPv6 addresses in brackets
    std::string address;
    std::string process_name;
    std::string tier = kTierInventory;
    std::string signals; // joined with " + "
    std::uint64_t live_local_clients = 0;
    std::uint64_t remote_established = 0;
    double score = 0.0;
    std::uint32_t pid = 0;
    std::uint16_t port = 0;
    bool common_app = false;
    bool is_candidate = false;
};

struct ProcessAssessment {
    std::string process_name;
    std::string tier = kTierInventory;
    std::string signal_digest; // up to three distinct signal texts joined with " | "
    double best_score = 0.0;
    std::uint64_t listener_count = 0;
    std::uint64_t candidate_count = 0;
    std::uint64_t protocol_confirmed_count = 0;
    std::uint64_t max_live_local_clients = 0;
    std::uint64_t max_remote_established = 0;
    std::uint32_t pid = 0;
    bool common_app = false;
};

} // namespace wirelux
