#include "share/facts_json.h"

#include "graph/graph_json.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace wirelux {
namespace {

FactSnapshot small_machine() {
    FactSnapshot s;
    s.computer_name = "PC1";
    AdapterInfo eth;
    eth.friendly_name = "Ethernet \xFF"; // not UTF-8: written with a replacement character
    eth.ipv4 = {{"192.168.1.20", 24}};
    eth.dhcp_server = "192.168.1.1";
    eth.if_index = 12;
    s.adapters = {eth};
    s.interfaces[12].role = "Carrier";
    s.interfaces[7].role = "Tunnel";
    s.interfaces[12].role_confidence = 1.0;
    s.best_route_v4 = BestRoute{"192.168.1.1", "192.168.1.20", 12, kFamilyIpv4};
    s.intercept_confidence = 0.86;
    s.core_pids = {30, 4};
    s.campus.reachable["10.0.0.55"] = true;
    return s;
}

TEST(FactsJson, RecordsAreObjectsWithTheirKeysAndAbsentOptionalsLeftOut) {
    const auto facts = nlohmann::ordered_json::parse(facts_json(small_machine()));
    const auto& eth = facts["adapters"][0];
    EXPECT_EQ(eth["friendlyName"], "Ethernet \xEF\xBF\xBD");
    EXPECT_EQ(eth["ipv4"], nlohmann::ordered_json::parse(R"([{"address":"192.168.1.20","prefixLen":24}])"));
    EXPECT_EQ(eth["dhcpServer"], "192.168.1.1");
    EXPECT_FALSE(eth.contains("guid")) << "an absent optional is left out";
    EXPECT_EQ(eth["mac"], "") << "an empty text is still written";
    EXPECT_EQ(facts["bestRouteV4"]["sourceAddress"], "192.168.1.20");
    EXPECT_FALSE(facts.contains("bestRouteV6"));
    EXPECT_FALSE(facts["campus"].contains("dnsPrimary"));
    EXPECT_EQ(facts["campus"]["reachable"]["10.0.0.55"], true);

    // Maps keyed by number read in numeric order, sets as sorted arrays, doubles in their shortest form.
    std::vector<std::string> keys;
    for (const auto& [key, _] : facts["interfaces"].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"7", "12"}));
    EXPECT_EQ(facts["corePids"], nlohmann::ordered_json::parse("[4,30]"));
    const std::string text = facts_json(small_machine());
    EXPECT_NE(text.find(R"("interceptConfidence":0.86,)"), std::string::npos);
    EXPECT_NE(text.find(R"("roleConfidence":1.0,)"), std::string::npos);
    EXPECT_EQ(text.find("\n"), std::string::npos);

    // The first and last keys of the snapshot, in declaration order.
    EXPECT_EQ(facts.begin().key(), "computerName");
    EXPECT_EQ((--facts.end()).key(), "campus");
}

TEST(FactsJson, TheDocumentCarriesSchemaFactsAndTheReportsGraph) {
    GraphDocument graph;
    graph.nodes.push_back(
        GraphNode{"app", "Applications </script>", "", "source", "", false, {}, {}, {}, {}, {}});
    const std::string text = facts_json_document(small_machine(), graph);
    ASSERT_TRUE(text.ends_with("}\n"));
    const auto doc = nlohmann::ordered_json::parse(text);
    std::vector<std::string> keys;
    for (const auto& [key, _] : doc.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"schema", "facts", "graph"}));
    EXPECT_EQ(doc["schema"], "wirelux/1");
    EXPECT_EQ(doc["facts"], nlohmann::ordered_json::parse(facts_json(small_machine())));
    EXPECT_EQ(doc["graph"], nlohmann::ordered_json::parse(graph_json_for_script(graph)));
}

} // namespace
} // namespace wirelux
