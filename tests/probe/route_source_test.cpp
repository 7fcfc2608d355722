#include "probe/route_source.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

AdapterInfo adapter(std::uint32_t index, std::vector<std::string> v4, std::vector<std::string> v6 = {}) {
    AdapterInfo a;
    a.if_index = index;
    a.ipv6_if_index = index;
    for (auto& text : v4) a.ipv4.push_back({text, 24});
    for (auto& text : v6) a.ipv6.push_back({text, 64});
    return a;
}

struct FakeMachine {
    std::uint32_t route = 0;
    std::optional<std::string> source;
    std::vector<AdapterInfo> adapters;
    int adapter_reads = 0;
    std::string asked_address;
    std::uint16_t asked_port = 0;
    unsigned asked_timeout = 0;

    RouteSourceOps ops() {
        RouteSourceOps o;
        o.route_interface = [this](const std::string&) { return route; };
        o.connect_source = [this](const std::string& address, std::uint16_t port, unsigned timeout) {
            asked_address = address;
            asked_port = port;
            asked_timeout = timeout;
            return source;
        };
        o.adapters = [this] {
            ++adapter_reads;
            return adapters;
        };
        return o;
    }
};

TEST(RouteSourceProbe, NoConnectivityKeepsTheRouteAndReportsNoMismatch) {
    FakeMachine m;
    m.route = 7;
    m.adapters = {adapter(7, {"192.168.1.20"})};
    const RouteSourceProbe p = run_route_source_probe(m.ops());
    EXPECT_EQ(p.target, "1.1.1.1:443");
    EXPECT_EQ(m.asked_address, "1.1.1.1");
    EXPECT_EQ(m.asked_port, 443);
    EXPECT_EQ(m.asked_timeout, 900u);
    EXPECT_FALSE(p.connected);
    EXPECT_EQ(p.route_interface, 7u);
    EXPECT_EQ(p.socket_interface, 0u);
    EXPECT_TRUE(p.source.empty());
    EXPECT_FALSE(p.mismatch);
    EXPECT_EQ(m.adapter_reads, 0); // nothing to map without a source
}

TEST(RouteSourceProbe, CapturedConnectionLeavesFromAnotherInterface) {
    FakeMachine m;
    m.route = 7;                 // the table names the physical adapter
    m.source = "198.18.0.1";     // but the connection leaves from the TUN
    m.adapters = {adapter(7, {"192.168.1.20"}), adapter(31, {"198.18.0.1"})};
    const RouteSourceProbe p = run_route_source_probe(m.ops());
    EXPECT_TRUE(p.connected);
    EXPECT_EQ(p.source, "198.18.0.1");
    EXPECT_EQ(p.route_interface, 7u);
    EXPECT_EQ(p.socket_interface, 31u);
    EXPECT_TRUE(p.mismatch);
}

TEST(RouteSourceProbe, MismatchNeedsBothIndices) {
    FakeMachine m;
    m.source = "10.9.9.9"; // owned by an interface the adapter list does not show
    m.route = 7;
    m.adapters = {adapter(7, {"192.168.1.20"})};
    RouteSourceProbe p = run_route_source_probe(m.ops());
    EXPECT_TRUE(p.connected);
    EXPECT_EQ(p.socket_interface, 0u);
    EXPECT_FALSE(p.mismatch);

    m.route = 0; // no best route, socket known
    m.source = "192.168.1.20";
    p = run_route_source_probe(m.ops());
    EXPECT_EQ(p.socket_interface, 7u);
    EXPECT_FALSE(p.mismatch);

    m.route = 7; // same interface both ways
    p = run_route_source_probe(m.ops());
    EXPECT_FALSE(p.mismatch);

    m.source = std::string(); // connected, local address unreadable
    p = run_route_source_probe(m.ops());
    EXPECT_TRUE(p.connected);
    EXPECT_EQ(p.socket_interface, 0u);
    EXPECT_FALSE(p.mismatch);
}

TEST(RouteSourceProbe, FirstOwningAdapterWinsAndAddressFormsAreCompared) {
    const std::vector<AdapterInfo> adapters = {
        adapter(3, {"10.0.0.2"}, {"fe80::1%3"}),
        adapter(4, {"10.0.0.2", "172.16.0.1"}, {"2001:db8::10"}),
        adapter(0, {}, {"2001:db8::20"}),
    };
    EXPECT_EQ(interface_owning_address(adapters, "10.0.0.2"), 3u);
    EXPECT_EQ(interface_owning_address(adapters, "172.16.0.1"), 4u);
    EXPECT_EQ(interface_owning_address(adapters, "2001:0db8:0:0::10"), 4u);
    EXPECT_EQ(interface_owning_address(adapters, "fe80::1"), 3u);
    EXPECT_EQ(interface_owning_address(adapters, "10.0.0.3"), 0u);
    EXPECT_EQ(interface_owning_address(adapters, ""), 0u);
    // An IPv4 text never matches an IPv6 address list and the other way round.
    EXPECT_EQ(interface_owning_address({adapter(9, {}, {"::ffff:10.1.1.1"})}, "10.1.1.1"), 0u);
    // An IPv6-only adapter is known by its IPv6 interface index.
    auto v6only = adapter(0, {}, {"2001:db8::20"});
    v6only.ipv6_if_index = 12;
    EXPECT_EQ(interface_owning_address({v6only}, "2001:db8::20"), 12u);
}

TEST(RouteSourceProbe, RealConnectionReportsItsLocalAddress) {
    testing::LoopbackServer server([](testing::Connection&) {});
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(connect_source_address("127.0.0.1", server.port(), 900), "127.0.0.1");
    EXPECT_EQ(connect_source_address("127.0.0.1", testing::closed_port(), 900), std::nullopt);
    EXPECT_EQ(connect_source_address("not an address", 443, 900), std::nullopt);
}

} // namespace
} // namespace wirelux
