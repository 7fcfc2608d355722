// The /connections reply: the members read from each connection, the rule text, and replies that are
// malformed, hostile or huge.
#include "mihomo/connections.h"

#include <gtest/gtest.h>

#include <string>

namespace wirelux {
namespace {

std::string rule_of(const std::string& connection) {
    const auto records = parse_connections(std::string(R"({"connections":[)") + connection + "]}");
    return records.size() == 1 ? records[0].rule_text : std::to_string(records.size()) + " records";
}

TEST(RuleText, RulePayloadAndChains) {
    EXPECT_EQ(rule_of(R"({"rule":"MATCH","rulePayload":"","chains":["A","B"]})"), "MATCH -> A / B");
    EXPECT_EQ(rule_of(R"({"rule":"DomainSuffix","rulePayload":"example.com","chains":["DIRECT"]})"),
              "DomainSuffix:example.com -> DIRECT");
    EXPECT_EQ(rule_of(R"({"rule":"","rulePayload":"x","chains":["P"]})"), "P");
    EXPECT_EQ(rule_of(R"({"rule":"GEOIP","rulePayload":"CN"})"), "GEOIP:CN");
    EXPECT_EQ(rule_of(R"({"rule":"MATCH","chains":[]})"), "MATCH");
    EXPECT_EQ(rule_of(R"({})"), "");
}

TEST(RuleText, NonStringMembersAreLeftOut) {
    EXPECT_EQ(rule_of(R"({"rule":5,"rulePayload":"x","chains":[1,"A",null,{"b":1},"B"]})"), "A / B");
    EXPECT_EQ(rule_of(R"({"rule":"MATCH","rulePayload":["x"],"chains":"A"})"), "MATCH");
}

TEST(ParseConnections, ProcessNameAndPathFallBackToTheirSecondMember) {
    const auto records = parse_connections(R"({"downloadTotal":1,"connections":[
        {"id":"1","metadata":{"processName":"","process":"curl","processPath":"/usr/bin/curl","host":"h"}},
        {"id":"2","metadata":{"processName":"app.exe","process":"other","processPath":"",
                              "processPathName":"C:\\app.exe"}},
        {"id":"3","metadata":{"processName":7,"process":["x"],"processPath":null}},
        {"id":"4","metadata":"not an object"}]})");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].process_name, "curl");
    EXPECT_EQ(records[0].process_path, "/usr/bin/curl");
    EXPECT_EQ(records[1].process_name, "app.exe");
    EXPECT_EQ(records[1].process_path, "C:\\app.exe");
    EXPECT_EQ(records[2].process_name, "");
    EXPECT_EQ(records[2].process_path, "");
    EXPECT_EQ(records[3].process_name, "");
    // The element itself is kept, so consumers can read members not named here.
    EXPECT_EQ(
        records[0].json,
        R"({"id":"1","metadata":{"host":"h","process":"curl","processName":"","processPath":"/usr/bin/curl"}})");
}

TEST(ParseConnections, AnythingButAConnectionsArrayGivesNothing) {
    for (const char* body :
         {"", "not json", "<html>502</html>", "null", "[]", "[{\"connections\":[{}]}]",
          "{\"connections\":null}", "{\"connections\":{\"0\":{}}}", "{\"connections\":\"[]\"}",
          "{\"Connections\":[{}]}", "{\"connections\":[{}]", "{\"connections\":[{}]} trailing"})
        EXPECT_TRUE(parse_connections(body).empty()) << body;
    EXPECT_EQ(parse_connections("{\"connections\":[]}").size(), 0u);
    EXPECT_EQ(parse_connections(" {\"connections\":[{}]}\r\n").size(), 1u);
}

TEST(ParseConnections, ElementsThatAreNotObjectsAreSkipped) {
    const auto records =
        parse_connections(R"({"connections":[1,"x",null,[{"rule":"R"}],{"rule":"MATCH"},true]})");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].rule_text, "MATCH");
}

TEST(ParseConnections, AHugeListIsCappedInOrder) {
    std::string body = R"({"connections":[)";
    for (std::size_t i = 0; i < kMaxRuntimeConnections + 10; ++i) {
        body += i ? ",{\"rule\":\"R" : "{\"rule\":\"R";
        body += std::to_string(i) + "\"}";
    }
    body += "]}";
    const auto records = parse_connections(body);
    ASSERT_EQ(records.size(), kMaxRuntimeConnections);
    EXPECT_EQ(records.front().rule_text, "R0");
    EXPECT_EQ(records.back().rule_text, std::string("R") + std::to_string(kMaxRuntimeConnections - 1));
}

TEST(ParseConnections, DeepNestingIsRefusedBeforeParsing) {
    // Four MiB of brackets would run the stack out when the parsed value is written or destroyed.
    const std::size_t depth = 4u << 20;
    std::string deep =
        R"({"connections":[{"metadata":)" + std::string(depth, '[') + std::string(depth, ']') + "}]}";
    EXPECT_TRUE(parse_connections(deep).empty());
    const auto nested = [](std::size_t brackets) {
        return R"({"connections":[{"rule":"R","x":)" + std::string(brackets, '[') +
               std::string(brackets, ']') + "}]}";
    };
    EXPECT_EQ(parse_connections(nested(kMaxConnectionsDepth - 3)).size(), 1u);
    EXPECT_TRUE(parse_connections(nested(kMaxConnectionsDepth - 2)).empty());
}

TEST(JsonNestingDepth, BracketsInsideStringsDoNotCount) {
    EXPECT_EQ(json_nesting_depth(R"({"a":[{"b":"[[[{{{\"[["}]})"), 3u);
    EXPECT_EQ(json_nesting_depth("[]]]][[]"), 2u); // stray closers do not wrap around
    EXPECT_EQ(json_nesting_depth("\"\\\"[\""), 0u);
    EXPECT_EQ(json_nesting_depth(""), 0u);
}

} // namespace
} // namespace wirelux
