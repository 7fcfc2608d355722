#pragma once
// Small text helpers shared by the console summary, the collectors and the report.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// Link speed as "1 Gbps", "2.5 Mbps", "999 bps" (decimal units, at most one decimal).
std::string format_bps(std::uint64_t bits_per_second);

// Escapes the five markup-significant characters; everything else, non-ASCII included, is copied.
std::string html_escape(std::string_view text);

// The text padded with spaces on the right to at least width characters (code points); never cut.
std::string pad_right(std::string_view text, std::size_t width);

// The text padded with spaces on the left to at least width characters; never cut.
std::string pad_left(std::string_view text, std::size_t width);

// The parts with the separator between each two of them; empty parts keep their place. With a
// projection, each part is first turned into its text by it.
std::string join(const std::vector<std::string>& parts, std::string_view separator);

template <class Range, class Projection>
std::string join(const Range& parts, std::string_view separator, Projection text_of) {
    std::string out;
    bool first = true;
    for (const auto& part : parts) {
        if (!first) out += separator;
        first = false;
        out += text_of(part);
    }
    return out;
}

// The parts that are not empty, with the separator between each two of them.
std::string join_non_empty(std::initializer_list<std::string_view> parts, std::string_view separator);

// The text without leading and trailing ASCII white space (space, tab, CR, LF, VT, FF).
std::string_view trim(std::string_view text);

// True when the text is empty or only ASCII white space.
bool is_blank(std::string_view text);

// Output of a child program decoded to UTF-8: a UTF-8 or UTF-16LE byte-order mark selects the
// encoding; anything else is taken as UTF-8 when it is valid UTF-8, else converted by `legacy` (from
// the code page the child wrote in), and only when that is absent or fails are invalid sequences
// replaced.
using LegacyDecoder = std::optional<std::string> (*)(std::string_view bytes);
std::string decode_command_output(std::string_view bytes, LegacyDecoder legacy = nullptr);

// Collected text (from the network, another program's output, the registry or the OS) made safe for
// a terminal: invalid UTF-8 and every C0 or C1 control character and DEL become U+FFFD, so no carriage
// return or escape sequence can move the cursor or hide a line; a value longer than
// kConsoleValueLimit characters is cut there and ends in "…". The program's own texts need none of this.
inline constexpr std::size_t kConsoleValueLimit = 200;
std::string console_value(std::string_view text);

// The same for text of several lines: line breaks ("\n", "\r\n") are kept and each line is cut on its
// own; after kConsoleLineLimit lines the rest is left out and a line "…" says so.
inline constexpr std::size_t kConsoleLineLimit = 50;
std::string console_lines(std::string_view text);

// Control characters replaced as above, nothing cut: for a path, which must stay whole to be found.
std::string console_uncut(std::string_view text);

std::string to_lower_ascii(std::string_view text);

bool starts_with_ci(std::string_view text, std::string_view prefix);

} // namespace wirelux
