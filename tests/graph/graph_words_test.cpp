#include "graph/graph_words.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TEST(GraphWords, ConfidenceWordThresholdsAndSuffix) {
    EXPECT_EQ(confidence_word(1.0), "confirmed");
    EXPECT_EQ(confidence_word(0.8), "confirmed");
    EXPECT_EQ(confidence_word(0.79), "likely");
    EXPECT_EQ(confidence_word(0.5), "likely");
    EXPECT_EQ(confidence_word(0.49), "possible");
    EXPECT_EQ(confidence_word(0.0), "possible");
    EXPECT_EQ(confidence_word(0.86, "runtime API process name"), "confirmed · runtime API process name");
}

TEST(GraphWords, StatusFromConfidence) {
    EXPECT_EQ(status_from_confidence(0.8), "OK");
    EXPECT_EQ(status_from_confidence(0.65), "WARN");
    EXPECT_EQ(status_from_confidence(0.5), "WARN");
    EXPECT_EQ(status_from_confidence(0.45), "");
}

TEST(GraphWords, LatencyText) {
    EXPECT_EQ(latency_text(true, 12), "12 ms");
    EXPECT_EQ(latency_text(true, 0), "0 ms");
    EXPECT_EQ(latency_text(true, -1), "T/O");
    EXPECT_EQ(latency_text(false, 5), "T/O");
}

TEST(GraphWords, IdTokenKeepsLettersDigitsAndDashOnly) {
    EXPECT_EQ(id_token("192.168.1.1"), "192_168_1_1");
    EXPECT_EQ(id_token("fe80::1%12"), "fe80_1_12");
    EXPECT_EQ(id_token("[2001:db8::1]:7890"), "2001_db8_1_7890");
    EXPECT_EQ(id_token("__a__b__"), "a_b");
    EXPECT_EQ(id_token("http://Proxy-Host:8080/"), "http_Proxy-Host_8080");
    EXPECT_EQ(id_token("中文 x"), "x"); // every byte of a multi-byte character is a replaced byte
    EXPECT_EQ(id_token("..."), "");
    EXPECT_EQ(id_token(""), "");
}

} // namespace
} // namespace wirelux
