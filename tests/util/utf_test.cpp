#include "util/utf.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Utf16ToUtf8, ConvertsPairsAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(utf16_to_utf8(u"plain"), "plain");
    EXPECT_EQ(utf16_to_utf8(u"\u4E2D\u6587"), "中文");
    EXPECT_EQ(utf16_to_utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t high_alone[] = {0xD83D, u'x', 0};
    EXPECT_EQ(utf16_to_utf8(high_alone), kReplacement + "x");
    const char16_t low_alone[] = {u'x', 0xDE00, 0};
    EXPECT_EQ(utf16_to_utf8(low_alone), "x" + kReplacement);
    const char16_t high_at_end[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(utf16_to_utf8(high_at_end), "x" + kReplacement);
}

TEST(Utf8ToUtf16, RoundTripsValidText) {
    const std::string text = "a中\xF0\x9F\x98\x80z";
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text)), text);
    EXPECT_EQ(utf8_to_utf16(text).size(), 5u); // the emoji takes a surrogate pair
}

TEST(SanitizeUtf8, ReplacesEachMaximalInvalidSubpart) {
    EXPECT_EQ(sanitize_utf8("ok"), "ok");
    EXPECT_EQ(sanitize_utf8("\xC0\xAF"), kReplacement + kReplacement);           // overlong
    EXPECT_EQ(sanitize_utf8("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement); // surrogate
    EXPECT_EQ(sanitize_utf8("\xE4\xB8"), kReplacement);                          // truncated at the end
    EXPECT_EQ(sanitize_utf8("\xE4\xB8x"), kReplacement + "x");
    EXPECT_EQ(sanitize_utf8("\xF4\x90\x80\x80"), kReplacement + kReplacement + kReplacement + kReplacement);
}

TEST(Validity, DetectsInvalidSequences) {
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8("中文 ✓"));
    EXPECT_FALSE(is_valid_utf8("\xFF"));
    EXPECT_FALSE(is_valid_utf8("\xED\xB0\x80"));
    const char16_t lone[] = {0xDC00, 0};
    EXPECT_FALSE(is_valid_utf16(lone));
    EXPECT_TRUE(is_valid_utf16(u"\U0001F600"));
}

TEST(Utf8Length, CountsCodePoints) {
    EXPECT_EQ(utf8_length("abc"), 3u);
    EXPECT_EQ(utf8_length("中文"), 2u);
    EXPECT_EQ(utf8_length("a\xFF" "b"), 3u);
}

} // namespace
} // namespace wirelux
