#include "probe/dns_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace wirelux {
namespace {

using Bytes = std::vector<std::uint8_t>;

void append(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes)
        out.push_back(static_cast<std::uint8_t>(b));
}

void append_name(Bytes& out, std::string_view dotted) {
    while (!dotted.empty()) {
        const auto dot = dotted.find('.');
        const auto label = dotted.substr(0, dot);
        out.push_back(static_cast<std::uint8_t>(label.size()));
        out.insert(out.end(), label.begin(), label.end());
        dotted = dot == std::string_view::npos ? std::string_view() : dotted.substr(dot + 1);
    }
    out.push_back(0);
}

// A reply header and the probe's question, as a resolver sends them back.
Bytes reply_header(std::uint16_t id, int answers, int questions = 1) {
    Bytes out;
    append(out, {id >> 8, id & 0xFF, 0x81, 0x80, questions >> 8, questions & 0xFF, answers >> 8,
                 answers & 0xFF, 0, 0, 0, 0});
    for (int q = 0; q < questions; ++q) {
        append_name(out, kDnsProbeName);
        append(out, {0, 1, 0, 1});
    }
    return out;
}

// A record owned by the question name (compression pointer to offset 12).
void append_record(Bytes& out, int type, const Bytes& data) {
    append(out, {0xC0, 0x0C, type >> 8, type & 0xFF, 0, 1, 0, 0, 0x02, 0x58,
                 static_cast<int>(data.size() >> 8), static_cast<int>(data.size() & 0xFF)});
    out.insert(out.end(), data.begin(), data.end());
}

Bytes cname_data() {
    Bytes data;
    append_name(data, "edge.cdn.example");
    return data;
}

TEST(DnsQuery, IsTheRecursiveAQueryByteForByte) {
    const Bytes expected = {0x12, 0x34, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, //
                            3,    'w',  'w',  'w',  5,    'b',  'a',  'i',  'd',  'u',  3,    'c',
                            'o',  'm',  0, //
                            0x00, 0x01, 0x00, 0x01};
    EXPECT_EQ(build_dns_query(0x1234, "www.baidu.com"), expected);
    EXPECT_EQ(kDnsProbeName.size(), 13u);
    EXPECT_EQ(build_dns_query(0x1234, kDnsProbeName), expected);
}

TEST(DnsQuery, SkipsEmptyLabelsAndRefusesUnencodableNames) {
    const Bytes query = build_dns_query(1, ".a..bc.");
    const Bytes name(query.begin() + 12, query.end() - 4);
    EXPECT_EQ(name, (Bytes{1, 'a', 2, 'b', 'c', 0}));
    EXPECT_EQ(build_dns_query(1, "").size(), 12u + 1 + 4); // the root name

    EXPECT_FALSE(build_dns_query(1, std::string(63, 'x') + ".com").empty());
    EXPECT_TRUE(build_dns_query(1, std::string(64, 'x') + ".com").empty());
    std::string long_name;
    for (int i = 0; i < 5; ++i)
        long_name += std::string(60, 'x') + ".";
    EXPECT_TRUE(build_dns_query(1, long_name).empty());
}

TEST(DnsReply, MustCarryAWholeHeaderWithTheQueryId) {
    Bytes reply = reply_header(0xBEEF, 0);
    EXPECT_TRUE(is_dns_reply_to(reply, 0xBEEF));
    EXPECT_FALSE(is_dns_reply_to(reply, 0xBEEE));
    EXPECT_FALSE(is_dns_reply_to(Bytes(reply.begin(), reply.begin() + 11), 0xBEEF));
    EXPECT_FALSE(is_dns_reply_to({}, 0));
}

TEST(DnsReply, FindsTheFirstARecord) {
    Bytes plain = reply_header(7, 1);
    append_record(plain, 1, {198, 51, 100, 7});
    EXPECT_EQ(first_a_record(plain), "198.51.100.7");

    // A CNAME chain first: the A record that follows is the answer.
    Bytes chained = reply_header(7, 3);
    append_record(chained, 5, cname_data());
    append_record(chained, 1, {203, 0, 113, 1});
    append_record(chained, 1, {203, 0, 113, 2});
    EXPECT_EQ(first_a_record(chained), "203.0.113.1");

    // An owner written out in full instead of as a pointer, and an AAAA record before the A record.
    Bytes spelled = reply_header(7, 2);
    append_record(spelled, 28, Bytes(16, 0x20));
    append_name(spelled, "www.baidu.com");
    append(spelled, {0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 10, 0, 0, 255});
    EXPECT_EQ(first_a_record(spelled), "10.0.0.255");

    // Type A with a data length other than 4 is not an address.
    Bytes odd = reply_header(7, 2);
    append_record(odd, 1, {1, 2, 3, 4, 5});
    append_record(odd, 1, {9, 9, 9, 9});
    EXPECT_EQ(first_a_record(odd), "9.9.9.9");
}

TEST(DnsReply, WithoutAnARecordThereIsNoAnswer) {
    EXPECT_EQ(first_a_record(reply_header(7, 0)), "");
    Bytes only_cname = reply_header(7, 1);
    append_record(only_cname, 5, cname_data());
    EXPECT_EQ(first_a_record(only_cname), "");
    // The count claims more answers than the reply holds.
    Bytes short_count = reply_header(7, 40);
    append_record(short_count, 5, cname_data());
    EXPECT_EQ(first_a_record(short_count), "");
}

TEST(DnsReply, ATruncatedARecordIsNoAnswer) {
    Bytes reply = reply_header(7, 1);
    append_record(reply, 1, {198, 51, 100, 7});
    for (std::size_t size = 0; size < reply.size(); ++size)
        EXPECT_EQ(first_a_record(Bytes(reply.begin(), reply.begin() + static_cast<long>(size))), "") << size;
}

TEST(DnsReply, ReadsTheAnswerWhetherOrNotTheQuestionIsRepeated) {
    Bytes bare = reply_header(7, 1, 0);
    append(bare, {3, 'w', 'w', 'w', 0, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 192, 0, 2, 33});
    EXPECT_EQ(first_a_record(bare), "192.0.2.33");
}

TEST(DnsReply, HostileRepliesNeitherCrashNorInventAnswers) {
    // Names that point forward, loop on themselves, or claim labels longer than the datagram.
    Bytes self_pointer = reply_header(7, 2);
    append(self_pointer, {0xC0});
    EXPECT_EQ(first_a_record(self_pointer), "");
    Bytes huge_label = reply_header(7, 1);
    append(huge_label, {0x3F, 'a'});
    EXPECT_EQ(first_a_record(huge_label), "");
    Bytes huge_length = reply_header(7, 2);
    append_record(huge_length, 16, {});
    huge_length[huge_length.size() - 2] = 0xFF;
    huge_length[huge_length.size() - 1] = 0xFF;
    append_record(huge_length, 1, {1, 1, 1, 1});
    EXPECT_EQ(first_a_record(huge_length), "");
    Bytes max_counts(12, 0xFF);
    EXPECT_EQ(first_a_record(max_counts), "");

    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        Bytes noise(random() % 80);
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(random());
        const std::string answer = first_a_record(noise);
        if (!answer.empty()) {
            EXPECT_EQ(std::count(answer.begin(), answer.end(), '.'), 3);
        }
    }
}

} // namespace
} // namespace wirelux
