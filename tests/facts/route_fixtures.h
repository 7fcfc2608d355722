#pragma once
// Hand-made routes, adapters and assessments for the egress and physical-path tests.

#include "model/snapshot.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace wirelux::test {

inline RouteRow default_v4(std::uint32_t if_index, std::optional<std::string> next_hop,
                           std::uint32_t metric) {
    return {"0.0.0.0", std::move(next_hop), if_index, metric, kFamilyIpv4, 0};
}

inline RouteRow default_v6(std::uint32_t if_index, std::optional<std::string> next_hop,
                           std::uint32_t metric) {
    return {"::", std::move(next_hop), if_index, metric, kFamilyIpv6, 0};
}

inline RouteRow route(std::string destination, std::uint8_t prefix_len, std::string next_hop,
                      std::uint32_t if_index, std::uint32_t metric, std::uint16_t family = kFamilyIpv4) {
    return {std::move(destination), std::move(next_hop), if_index, metric, family, prefix_len};
}

inline AdapterInfo adapter(std::uint32_t if_index, std::string name) {
    AdapterInfo a;
    a.if_index = if_index;
    a.ipv6_if_index = if_index;
    a.friendly_name = std::move(name);
    a.description = a.friendly_name + " adapter";
    a.oper_up = true;
    return a;
}

inline InterfaceAssessment assessed(std::uint32_t if_index, std::string role) {
    InterfaceAssessment a;
    a.if_index = if_index;
    a.role = std::move(role);
    return a;
}

inline void add_interface(FactSnapshot& s, AdapterInfo a, const std::string& role) {
    s.interfaces[a.if_index] = assessed(a.if_index, role);
    s.adapters.push_back(std::move(a));
}

// An echo that answers from a table after a per-target delay, so that answers finish in a different
// order than they were asked for; it records every target it was asked about.
class FakeEcho {
public:
    struct Answer {
        bool ok = false;
        int delay_ms = 0;
    };

    explicit FakeEcho(std::map<std::string, Answer> answers) : answers_(std::move(answers)) {}

    EchoResult operator()(const std::string& target) {
        {
            const std::lock_guard lock(mutex_);
            asked_.push_back(target);
        }
        const auto it = answers_.find(target);
        if (it == answers_.end()) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(it->second.delay_ms));
        return it->second.ok ? EchoResult{true, 3} : EchoResult{};
    }

    std::vector<std::string> asked() const {
        const std::lock_guard lock(mutex_);
        return asked_;
    }

private:
    const std::map<std::string, Answer> answers_;
    mutable std::mutex mutex_;
    std::vector<std::string> asked_;
};

} // namespace wirelux::test
