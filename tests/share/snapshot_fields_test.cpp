#include "share/snapshot_fields.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace wirelux {
namespace snapshot_fields_test {
// Converts to any member type, so that T{AnyMember{}, ...} compiles exactly up to T's member count.
// Only ever named in unevaluated operands, so never defined; outside the anonymous namespace, since
// clang takes an undefined function of internal linkage as a mistake.
struct AnyMember {
    template <class T> operator T&() const&&;
};
} // namespace snapshot_fields_test

namespace {
using snapshot_fields_test::AnyMember;

template <class T, std::size_t... I> constexpr bool brace_constructible(std::index_sequence<I...>) {
    return requires {
        T{(void(I), AnyMember{})...};
    };
}

template <class T, std::size_t N = 0> constexpr std::size_t member_count() {
    if constexpr (!brace_constructible<T>(std::make_index_sequence<N + 1>{})) {
        return N;
    } else {
        return member_count<T, N + 1>();
    }
}

using Records =
    std::tuple<IfAddress, AdapterInfo, PnpDevice, RouteRow, BestRoute, InterfaceAssessment, PhysicalCandidate,
               GatewayProbe, ProcessInfo, TcpRow, UdpRow, ServiceInfo, SoftwareHit, WinInetEndpoint,
               ListenerAssessment, ProcessAssessment, RouteSourceProbe, OutboundProxy, ControllerProbe,
               RuntimeConnection, CoreInfo, DnsProbeResult, CampusLogin, CampusFacts, FactSnapshot>;

// A member added to a record but not to its list would be neither written to the JSON facts nor
// redacted; so would a list that names one member twice. Keys are lower camel case.
TEST(SnapshotFields, EveryRecordListsEachMemberOnceUnderItsOwnKey) {
    std::apply(
        [](auto... records) {
            (
                [](auto record) {
                    using T = decltype(record);
                    std::set<std::string> keys;
                    std::set<const void*> members;
                    std::size_t visits = 0;
                    visit_fields(record, [&](const char* key, auto& member) {
                        ++visits;
                        keys.insert(key);
                        const std::string_view k = key;
                        EXPECT_TRUE(k.find('_') == k.npos && k[0] >= 'a' && k[0] <= 'z') << key;
                        members.insert(&member);
                    });
                    EXPECT_EQ(visits, member_count<T>()) << typeid(T).name();
                    EXPECT_EQ(keys.size(), visits) << typeid(T).name();
                    EXPECT_EQ(members.size(), visits) << typeid(T).name();
                }(records),
                ...);
        },
        Records{});
}

} // namespace
} // namespace wirelux
