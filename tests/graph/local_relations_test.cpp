#include "graph/local_relations.h"
#include "graph/process_layer.h"

#include "graph/graph_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

using test::row;

constexpr std::uint32_t kApp = 10;
constexpr std::uint32_t kProxy = 20;
constexpr std::uint32_t kOther = 30;

TcpRow tcp(std::string local, std::uint16_t local_port, std::string remote, std::uint16_t remote_port,
           std::uint32_t pid, std::uint32_t state = kTcpStateEstablished) {
    return TcpRow{std::move(local), std::move(remote), state, pid, local_port, remote_port};
}

TcpRow listening(std::string address, std::uint16_t port, std::uint32_t pid) {
    return tcp(std::move(address), port, "0.0.0.0", 0, pid, kTcpStateListen);
}

FactSnapshot local_host() {
    FactSnapshot s;
    s.processes[kApp] = ProcessInfo{"app.exe", "", "", kApp};
    s.processes[kProxy] = ProcessInfo{"proxy.exe", "", "", kProxy};
    s.processes[kOther] = ProcessInfo{"other.exe", "", "", kOther};
    s.tcp_listeners = {listening("127.0.0.1", 7890, kProxy), listening("0.0.0.0", 8080, kOther),
                       listening("127.0.0.1", 9000, kApp)};
    return s;
}

std::vector<LocalRelation> relations_of(const FactSnapshot& s, std::uint32_t pid) {
    return local_relations(s, index_loopback_sockets(s), pid);
}

TEST(LocalRelations, PeerSocketOutranksTheListeningPortOwner) {
    FactSnapshot s = local_host();
    constexpr std::uint32_t kPeer = 40; // listens nowhere: found through its socket only
    s.tcp_rows = {
        tcp("127.0.0.1", 50001, "127.0.0.1", 7890, kApp), // paired both ways below
        tcp("127.0.0.1", 7890, "127.0.0.1", 50001, kProxy),
        tcp("127.0.0.1", 50002, "127.0.0.1", 7890, kApp), // no peer row: listener owner only
        tcp("127.0.0.1", 50003, "127.0.0.1", 8080, kApp), // reaches the any-address listener
        tcp("127.0.0.1", 9000, "127.0.0.1", 50100, kApp), // accepted on the app's own listener
        tcp("127.0.0.1", 50004, "127.0.0.1", 6000, kApp), // nobody listens there
        tcp("192.168.1.5", 50005, "1.1.1.1", 443, kApp),  // not local
        tcp("::1", 50006, "::1", 7000, kApp),             // paired with the same addresses spelt otherwise
        tcp("[0:0:0:0:0:0:0:1]", 7000, "::1%1", 50006, kPeer),
    };
    const std::vector<LocalRelation> relations = relations_of(s, kApp);
    ASSERT_EQ(relations.size(), 3u);
    EXPECT_EQ(relations[0].pid, kProxy);
    EXPECT_EQ(relations[0].evidence, "live local TCP + reverse peer owner");
    EXPECT_EQ(relations[0].confidence, 0.9);
    EXPECT_EQ(relations[0].sockets, 2u);
    EXPECT_EQ(relations[1].pid, kOther);
    EXPECT_EQ(relations[1].evidence, "live local TCP + listener owner fallback");
    EXPECT_EQ(relations[1].endpoint, "127.0.0.1:8080");
    EXPECT_EQ(relations[2].pid, kPeer);
    EXPECT_EQ(relations[2].evidence, "live local TCP + reverse peer owner");
    EXPECT_EQ(relations[2].endpoint, "[::1]:7000");

    // The proxy's side of the pair is the accepted end: it hands nothing to the app.
    EXPECT_TRUE(relations_of(s, kProxy).empty());
}

TEST(LocalRelations, CoreOutboundOnALocalListenerIsAConfiguredRelation) {
    FactSnapshot s = local_host();
    CoreInfo core;
    core.pid = kApp;
    core.outbound_proxies = {OutboundProxy{"chain", "socks5", "localhost", 7890},
                             OutboundProxy{"remote", "ss", "203.0.113.9", 8388},
                             OutboundProxy{"self", "http", "127.0.0.1", 9000}};
    s.core_infos.push_back(core);
    const std::vector<LocalRelation> relations = relations_of(s, kApp);
    ASSERT_EQ(relations.size(), 1u);
    EXPECT_EQ(relations[0].pid, kProxy);
    EXPECT_EQ(relations[0].evidence, "runtime-config local endpoint + listener owner");
    EXPECT_EQ(relations[0].endpoint, "127.0.0.1:7890");
}

TEST(LocalRelations, DrawnAsRelationNodesCappedAtTwelve) {
    FactSnapshot s = local_host();
    for (std::uint16_t i = 0; i < 14; ++i) {
        const std::uint32_t pid = 100 + i;
        s.processes[pid] = ProcessInfo{"svc" + std::to_string(i), "", "", pid};
        s.tcp_listeners.push_back(listening("127.0.0.1", static_cast<std::uint16_t>(20000 + i), pid));
        s.tcp_rows.push_back(tcp("127.0.0.1", static_cast<std::uint16_t>(40000 + i), "127.0.0.1",
                                 static_cast<std::uint16_t>(20000 + i), kApp));
    }
    GraphBuilder builder(s);
    const std::string app = draw_process_node(builder, kApp, 1);
    const GraphNode& n = *builder.find_node(app);

    const NodeItem& first = row(n, "route-local-100");
    EXPECT_EQ(
        (std::vector<std::string>{first.k, first.v, first.status, first.meta, first.role}),
        (std::vector<std::string>{"local", "svc0 · 127.0.0.1:20000", "WARN",
                                  "local · process-wide relation; logical flow not correlated", "out"}));
    EXPECT_TRUE(test::has_row(n, "route-local-111"));
    EXPECT_FALSE(test::has_row(n, "route-local-112"));
    EXPECT_EQ(row(n, "route-local-more").v, "2 additional relation contexts");

    const GraphNode* peer = builder.find_node("local-pid-100");
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(peer->sub, "local process relation · PID 100 · merged by entity");
    EXPECT_EQ(peer->process_id, 100);
    const auto e = builder.find_edge(app, "route-local-100", "local-pid-100");
    ASSERT_TRUE(e);
    EXPECT_EQ(builder.edges()[*e].kind, "evidence");
    EXPECT_EQ(builder.edges()[*e].evidence, "live local TCP + listener owner fallback");
}

} // namespace
} // namespace wirelux
