// Where a core's controller is looked for: address parsing, the candidate list and what counts as an
// answer.
#include "mihomo/controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

std::string parsed(std::string_view text) {
    const auto address = parse_controller_address(text);
    return address ? address->text() : "none";
}

std::vector<std::string> texts(const std::vector<ControllerAddress>& candidates) {
    std::vector<std::string> out;
    for (const ControllerAddress& a : candidates)
        out.push_back(a.text());
    return out;
}

TcpRow listener(std::string address, std::uint16_t port) {
    TcpRow row;
    row.local_address = std::move(address);
    row.local_port = port;
    row.state = 2;
    row.pid = 7;
    return row;
}

TEST(ParseControllerAddress, AnyAddressesBecomeLoopback) {
    EXPECT_EQ(parsed("0.0.0.0:9090"), "http://127.0.0.1:9090");
    EXPECT_EQ(parsed("[::]:9090"), "http://127.0.0.1:9090");
    EXPECT_EQ(parsed(":::9090"), "http://127.0.0.1:9090");
    // mihomo's own short form for every interface.
    EXPECT_EQ(parsed(":9090"), "http://127.0.0.1:9090");
}

TEST(ParseControllerAddress, SchemePathAndDefaultPort) {
    EXPECT_EQ(parsed("  http://127.0.0.1:9097/ui/#/proxies "), "http://127.0.0.1:9097");
    EXPECT_EQ(parsed("HTTPS://localhost:443"), "http://localhost:443");
    EXPECT_EQ(parsed("192.168.1.2"), "http://192.168.1.2:80");
    EXPECT_EQ(parsed("[::1]:9090"), "http://[::1]:9090");
    const auto v6 = parse_controller_address("[::1]:9090");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1"); // what the socket layer is given
}

TEST(ParseControllerAddress, BadPortsDropTheCandidate) {
    EXPECT_EQ(parsed("127.0.0.1:0"), "none");
    EXPECT_EQ(parsed("127.0.0.1:65536"), "none");
    EXPECT_EQ(parsed("127.0.0.1:90x"), "none");
    EXPECT_EQ(parsed("127.0.0.1:"), "none");
    EXPECT_EQ(parsed("127.0.0.1:-1"), "none");
}

TEST(ControllerCandidates, ConfiguredDefaultsAndOwnListenersSortedOnce) {
    const std::vector<TcpRow> listeners = {listener("127.0.0.1", 7890), listener("0.0.0.0", 9090),
                                           listener("::", 53000),       listener("192.168.1.5", 7891),
                                           listener("::1", 1024),       listener("127.0.0.1", 1025)};
    EXPECT_EQ(
        texts(controller_candidates("0.0.0.0:9090", listeners)),
        (std::vector<std::string>{"http://127.0.0.1:9090", "http://127.0.0.1:1025", "http://127.0.0.1:53000",
                                  "http://127.0.0.1:7890", "http://127.0.0.1:9097"}));
}

TEST(ControllerCandidates, APipeOrNothingConfiguredLeavesTheDefaults) {
    const std::vector<std::string> defaults = {"http://127.0.0.1:9090", "http://127.0.0.1:9097"};
    EXPECT_EQ(texts(controller_candidates("\\\\.\\pipe\\mihomo", {})), defaults);
    EXPECT_EQ(texts(controller_candidates("", {})), defaults);
    EXPECT_EQ(texts(controller_candidates("127.0.0.1:bad", {})), defaults);
}

TEST(ControllerHeaders, BearerOnlyWithASecret) {
    EXPECT_TRUE(controller_headers("").empty());
    EXPECT_EQ(controller_headers("s e"), (HttpHeaders{{"Authorization", "Bearer s e"}}));
}

TEST(ControllerAnswered, Status200AndABody) {
    EXPECT_TRUE(controller_answered(HttpGetResult{"{\"version\":\"1\"}", 3, 200}));
    EXPECT_FALSE(controller_answered(HttpGetResult{" \r\n", 3, 200}));
    EXPECT_FALSE(controller_answered(HttpGetResult{"{\"message\":\"Unauthorized\"}", 3, 401}));
    EXPECT_FALSE(controller_answered(std::nullopt));
}

} // namespace
} // namespace wirelux
