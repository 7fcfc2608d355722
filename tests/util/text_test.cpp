#include "util/text.h"
#include "util/text_memo.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

TEST(TextMemo, AsksOncePerDistinctTextAndKeepsEachAnswer) {
    int asked = 0;
    TextMemo<std::string> lower([&asked](std::string_view text) {
        ++asked;
        return to_lower_ascii(text);
    });
    const std::vector<std::string> rows = {"A.b", "", "C", "A.b", "C", ""};
    std::vector<std::string> answers;
    for (const std::string& row : rows)
        answers.push_back(lower(row));
    EXPECT_EQ(answers, (std::vector<std::string>{"a.b", "", "c", "a.b", "c", ""}));
    EXPECT_EQ(asked, 3);
}

TEST(FormatBps, WholeQuotientsPrintWithoutDecimal) {
    EXPECT_EQ(format_bps(1'000'000'000), "1 Gbps");
    EXPECT_EQ(format_bps(1'000), "1 Kbps");
    EXPECT_EQ(format_bps(100'000'000), "100 Mbps");
    EXPECT_EQ(format_bps(1'000'000'000'000'000ULL), "1000 Tbps"); // no unit above Tbps
}

TEST(FormatBps, FractionsKeepOneDecimal) {
    EXPECT_EQ(format_bps(2'500'000), "2.5 Mbps");
    EXPECT_EQ(format_bps(866'700'000), "866.7 Mbps");
    EXPECT_EQ(format_bps(1'500), "1.5 Kbps");
    EXPECT_EQ(format_bps(1'234'567'890), "1.2 Gbps");
}

TEST(FormatBps, SmallValuesAndZero) {
    EXPECT_EQ(format_bps(0), "0 bps");
    EXPECT_EQ(format_bps(999), "999 bps");
    EXPECT_EQ(format_bps(1), "1 bps");
}

TEST(FormatBps, UnitBoundaryPicksTheLargerUnit) {
    EXPECT_EQ(format_bps(999'999), "1000.0 Kbps");
    EXPECT_EQ(format_bps(1'000'000), "1 Mbps");
}

TEST(HtmlEscape, ReplacesTheFiveSpecialCharactersOnly) {
    EXPECT_EQ(html_escape(""), "");
    EXPECT_EQ(html_escape("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&#39;f");
    EXPECT_EQ(html_escape("中文 ✓ plain"), "中文 ✓ plain");
    EXPECT_EQ(html_escape("</script><img src=x onerror=alert(1)>"),
              "&lt;/script&gt;&lt;img src=x onerror=alert(1)&gt;");
}

TEST(HtmlEscape, EscapesAnEscapedTextAgain) { EXPECT_EQ(html_escape("&amp;"), "&amp;amp;"); }

TEST(Padding, CountsCharactersNotBytesAndNeverCuts) {
    EXPECT_EQ(pad_right("ab", 4), "ab  ");
    EXPECT_EQ(pad_right("中文", 4), "中文  ");
    EXPECT_EQ(pad_right("toolong", 3), "toolong");
    EXPECT_EQ(pad_left("15", 3), " 15");
    EXPECT_EQ(pad_left("1234", 3), "1234");
}

TEST(Join, PutsTheSeparatorBetweenPartsOnlyAndKeepsEmptyParts) {
    EXPECT_EQ(join({}, ", "), "");
    EXPECT_EQ(join({"10.0.0.1"}, ", "), "10.0.0.1");
    EXPECT_EQ(join({"a", "b", "c"}, " \u00b7 "), "a \u00b7 b \u00b7 c");
    EXPECT_EQ(join({"", "b", ""}, "|"), "|b|"); // empty parts are not dropped
    EXPECT_EQ(join({"a", "b"}, ""), "ab");
}

TEST(Trim, RemovesSurroundingWhiteSpace) {
    EXPECT_EQ(trim("  a b \r\n"), "a b");
    EXPECT_EQ(trim("\t\n"), "");
    EXPECT_TRUE(is_blank(" \r\n\t"));
    EXPECT_FALSE(is_blank(" x "));
}

TEST(ConsoleText, ControlsBecomeAVisibleStandInAndLongValuesAreCut) {
    const std::string r = "\xEF\xBF\xBD";
    const std::string ellipsis = "\xE2\x80\xA6";
    const struct {
        std::string in, value, lines;
    } cases[] = {
        {"Wi-Fi 2 \xE4\xB8\xAD", "Wi-Fi 2 \xE4\xB8\xAD", "Wi-Fi 2 \xE4\xB8\xAD"},       // unchanged
        {"a\rb\x1b[2Kc\x7f", "a" + r + "b" + r + "[2Kc" + r, "a" + r + "b" + r + "[2Kc" + r}, // C0, DEL
        {"\xC2\x85\xC2\x9F\xC2\xA0", r + r + "\xC2\xA0", r + r + "\xC2\xA0"},               // C1, not NBSP
        {"x\xFFy\t", "x" + r + "y" + r, "x" + r + "y" + r},                                  // invalid UTF-8, tab
        {"one\r\ntwo\nthree", "one" + r + r + "two" + r + "three", "one\r\ntwo\nthree"},  // line breaks
        {std::string(200, 'a'), std::string(200, 'a'), std::string(200, 'a')},
        {std::string(201, 'a'), std::string(200, 'a') + ellipsis, std::string(200, 'a') + ellipsis},
        {std::string(300, 'b') + "\n\xE4\xB8\xAD", std::string(200, 'b') + ellipsis,
         std::string(200, 'b') + ellipsis + "\n\xE4\xB8\xAD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_value(c.in), c.value) << c.in;
        EXPECT_EQ(console_lines(c.in), c.lines) << c.in;
    }
    std::string many;
    for (int k = 0; k < 60; ++k) many += "line\r\n";
    std::string kept;
    for (int k = 0; k < 50; ++k) kept += "line\r\n";
    EXPECT_EQ(console_lines(many), kept + ellipsis + "\n");
    const std::string path = "/home/u/" + std::string(300, 'd') + "\x1b";
    EXPECT_EQ(console_uncut(path), "/home/u/" + std::string(300, 'd') + r);
}

TEST(DecodeCommandOutput, Utf8ByteOrderMarkIsDropped) {
    EXPECT_EQ(decode_command_output("\xEF\xBB\xBFproxy: none"), "proxy: none");
    EXPECT_EQ(decode_command_output("\xEF\xBB\xBF"), "");
}

TEST(DecodeCommandOutput, Utf16LittleEndianWithByteOrderMark) {
    const std::string bytes("\xFF\xFE" "A\0\x2D\x4E" "\n\0", 8); // "A中\n"
    EXPECT_EQ(decode_command_output(bytes), "A中\n");
    const std::string odd("\xFF\xFE" "A\0B", 5); // an odd trailing byte is dropped
    EXPECT_EQ(decode_command_output(odd), "A");
    const std::string lone_surrogate("\xFF\xFE\x00\xD8" "B\0", 6);
    EXPECT_EQ(decode_command_output(lone_surrogate), "\xEF\xBF\xBD" "B");
}

TEST(DecodeCommandOutput, ValidUtf8IsTakenAsItIsAndTheRestGoesToTheCodePage) {
    // A stand-in for a code page conversion: each byte is the character of that number (Latin-1).
    const LegacyDecoder latin1 = [](std::string_view bytes) -> std::optional<std::string> {
        std::u16string units(bytes.begin(), bytes.end());
        for (std::size_t k = 0; k < bytes.size(); ++k) units[k] = static_cast<unsigned char>(bytes[k]);
        return utf16_to_utf8(units);
    };
    const LegacyDecoder failing = [](std::string_view) -> std::optional<std::string> { return std::nullopt; };
    const struct {
        std::string bytes;
        LegacyDecoder legacy;
        std::string text;
    } cases[] = {
        {"ok \xC3\xA9", latin1, "ok é"},                           // valid UTF-8 never reaches the code page
        {"caf\xE9", latin1, "café"},                                // not UTF-8: the code page's reading
        {"bad \xFF end", failing, "bad \xEF\xBF\xBD end"},           // no reading: replaced
        {"bad \xFF end", nullptr, "bad \xEF\xBF\xBD end"},
    };
    for (const auto& c : cases) EXPECT_EQ(decode_command_output(c.bytes, c.legacy), c.text) << c.bytes;
}

} // namespace
} // namespace wirelux
