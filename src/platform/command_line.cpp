#include "platform/process_env.h"

namespace wirelux::platform {

namespace {
bool is_blank_char(char c) { return c == ' ' || c == '\t'; }
} // namespace

// The rules of CommandLineToArgvW: the program name ends at the next quote when it begins with one,
// else at the first blank, with no escaping at all. Later tokens honour quotes, 2n backslashes before
// a quote giving n backslashes and a quote toggle, 2n+1 giving n backslashes and a literal quote, and
// a run of quotes inside a quoted part giving one literal quote per completed group of three.
std::vector<std::string> split_windows_command_line(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    std::string program;
    if (i < line.size() && line[i] == '"') {
        ++i;
        while (i < line.size() && line[i] != '"') program.push_back(line[i++]);
        if (i < line.size()) ++i; // closing quote
    } else {
        while (i < line.size() && !is_blank_char(line[i])) program.push_back(line[i++]);
    }
    tokens.push_back(std::move(program));

    while (i < line.size() && is_blank_char(line[i])) ++i;
    if (i >= line.size()) return tokens;

    std::string current;
    unsigned quotes = 0;      // 1 while inside a quoted part
    std::size_t backslashes = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (is_blank_char(c) && quotes == 0) {
            tokens.push_back(std::move(current));
            current.clear();
            while (i < line.size() && is_blank_char(line[i])) ++i;
            backslashes = 0;
            if (i >= line.size()) return tokens;
            continue;
        }
        if (c == '\\') {
            current.push_back(c);
            ++backslashes;
            ++i;
            continue;
        }
        if (c == '"') {
            if (backslashes % 2 == 0) {
                current.resize(current.size() - backslashes / 2);
                ++quotes;
            } else {
                current.resize(current.size() - backslashes / 2 - 1);
                current.push_back('"');
            }
            ++i;
            backslashes = 0;
            while (i < line.size() && line[i] == '"') {
                if (++quotes == 3) {
                    current.push_back('"');
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        current.push_back(c);
        backslashes = 0;
        ++i;
    }
    tokens.push_back(std::move(current));
    return tokens;
}

} // namespace wirelux::platform
