#include "mihomo/core_config.h"

#include "util/text.h"

#include <charconv>

namespace wirelux {
namespace {

// The directory text without its trailing separators, and the separator to join with: "/" for a
// directory written only with forward slashes (a Unix-style core), else "\".
std::string join_config_directory(std::string_view directory, std::string_view file) {
    const bool forward =
        directory.find('/') != std::string_view::npos && directory.find('\\') == std::string_view::npos;
    const char separator = forward ? '/' : '\\';
    while (!directory.empty() && directory.back() == separator)
        directory.remove_suffix(1);
    std::string path(directory);
    path.push_back(separator);
    path.append(file);
    return path;
}

std::uint16_t port_number(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 65535) return 0;
    return static_cast<std::uint16_t>(value);
}

bool is_white(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A new top-level key, "^[^\s#][^:]*\s*:" tested without the engine: a long line without a colon would
// make it backtrack quadratically.
bool is_block_end(std::string_view line) {
    return !line.empty() && !is_white(line.front()) && line.front() != '#' &&
           line.find(':', 1) != std::string_view::npos;
}

std::string_view skip_white(std::string_view text) {
    while (!text.empty() && is_white(text.front()))
        text.remove_prefix(1);
    return text;
}

// The text of an indented line after its indentation; nullopt for a line that is not indented.
std::optional<std::string_view> indented_text(std::string_view line) {
    if (line.empty() || !is_white(line.front())) return std::nullopt;
    return skip_white(line);
}

// What follows "key", a colon with white space allowed around it, and the white space after it, when
// the text starts so; nullopt otherwise.
std::optional<std::string_view> rest_after_key(std::string_view text, std::string_view key) {
    if (!text.starts_with(key)) return std::nullopt;
    text = skip_white(text.substr(key.size()));
    if (!text.starts_with(':')) return std::nullopt;
    return skip_white(text.substr(1));
}

std::optional<std::string_view> value_after(std::string_view text, std::string_view key) {
    const auto rest = rest_after_key(text, key);
    if (!rest) return std::nullopt;
    return trim(*rest);
}

// Whether the line opens the top-level block "key:" (nothing but a comment after the colon).
bool is_block_start(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) return false;
    line.remove_prefix(key.size());
    while (!line.empty() && is_white(line.front()))
        line.remove_prefix(1);
    return line.starts_with(':') && scalar_value(line.substr(1)).empty();
}

// The members of a one-line flow mapping "{k: v, k: v}" that starts at the line's first "{", split
// at the commas of its own level outside quotes. Absent when the mapping is not closed on the line.
std::optional<std::vector<std::string_view>> flow_members(std::string_view line) {
    const std::size_t open = line.find('{');
    if (open == std::string_view::npos) return std::nullopt;
    std::vector<std::string_view> members;
    std::size_t depth = 0;
    std::size_t start = open + 1;
    char quote = 0;
    char last = '{'; // the last character outside quotes that is not white space
    for (std::size_t i = open; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0) {
            if (quote == '"' && c == '\\')
                ++i;
            else if (c == quote && quote == '\'' && i + 1 < line.size() && line[i + 1] == '\'')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        // A quote opens a quoted scalar only where a scalar starts; elsewhere it is a character.
        if ((c == '"' || c == '\'') && std::string_view("{[,:").find(last) != std::string_view::npos) {
            quote = c;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) {
                members.push_back(line.substr(start, i - start));
                return members;
            }
        } else if (c == ',' && depth == 1) {
            members.push_back(line.substr(start, i - start));
            start = i + 1;
        }
        if (!is_white(c)) last = c;
    }
    return std::nullopt;
}

// A flow-mapping entry "- {name: a, server: h, port: 1}" of the proxies list.
std::optional<OutboundProxy> flow_proxy(std::string_view line) {
    std::string_view rest = trim(line);
    if (!rest.starts_with('-')) return std::nullopt;
    rest = trim(rest.substr(1));
    if (!rest.starts_with('{')) return std::nullopt;
    const auto members = flow_members(rest);
    if (!members) return std::nullopt;
    OutboundProxy proxy;
    for (const std::string_view member : *members) {
        const std::size_t colon = member.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string key = unquote(member.substr(0, colon));
        const std::string value = unquote(member.substr(colon + 1));
        if (key == "name")
            proxy.name = value;
        else if (key == "type")
            proxy.type = value;
        else if (key == "server")
            proxy.server = value;
        else if (key == "port")
            proxy.port = port_number(value);
    }
    return proxy;
}

} // namespace

std::string scalar_value(std::string_view text) {
    text = trim(text);
    std::size_t scan = 0;
    if (!text.empty() && (text.front() == '"' || text.front() == '\'')) {
        const char quote = text.front();
        std::size_t i = 1;
        for (; i < text.size(); ++i) {
            if (quote == '"' && text[i] == '\\') {
                ++i;
            } else if (text[i] == quote) {
                if (quote == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                    ++i;
                    continue;
                }
                break;
            }
        }
        scan = std::min(i + 1, text.size()); // an unclosed quote runs to the end: no comment
    }
    for (std::size_t i = scan; i < text.size(); ++i) {
        if (text[i] == '#' && (i == 0 || is_white(text[i - 1]))) {
            text = text.substr(0, i);
            break;
        }
    }
    return unquote(text);
}

std::string command_line_option(std::string_view command_line, std::string_view name) {
    // The value after "-name" or "--name" and "=" or white space, at the start of an argument: a quoted
    // value without its quotes, else the run of non-blank characters. The first such option counts.
    const auto value_at = [&](std::size_t at) -> std::optional<std::string> {
        std::string_view rest = command_line.substr(at);
        if (!rest.starts_with(name)) return std::nullopt;
        rest.remove_prefix(name.size());
        if (rest.starts_with('=')) {
            rest.remove_prefix(1);
        } else {
            if (rest.empty() || !is_white(rest.front())) return std::nullopt;
            while (!rest.empty() && is_white(rest.front()))
                rest.remove_prefix(1);
        }
        if (rest.starts_with('"')) {
            const std::size_t close = rest.find('"', 1);
            if (close != std::string_view::npos) return std::string(rest.substr(1, close - 1));
        }
        std::size_t end = 0;
        while (end < rest.size() && !is_white(rest[end]))
            ++end;
        if (end == 0) return std::nullopt;
        return std::string(rest.substr(0, end));
    };
    for (std::size_t i = 0; i < command_line.size(); ++i) {
        if (command_line[i] != '-' || (i > 0 && !is_white(command_line[i - 1]))) continue;
        if (i + 1 < command_line.size() && command_line[i + 1] == '-')
            if (auto value = value_at(i + 2)) return std::move(*value);
        if (auto value = value_at(i + 1)) return std::move(*value);
    }
    return {};
}

bool is_absolute_path(std::string_view path) {
    if (path.empty()) return false;
    if (path.front() == '/' || path.front() == '\\') return true;
    const bool drive =
        path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

std::string config_file_path(std::string_view command_line, std::string_view working_directory) {
    const std::string directory = command_line_option(command_line, "d");
    const std::string file = command_line_option(command_line, "f");
    if (file.empty())
        return directory.empty() ? std::string() : join_config_directory(directory, "config.yaml");
    if (is_absolute_path(file)) return file;
    if (!directory.empty()) return join_config_directory(directory, file);
    if (is_absolute_path(working_directory)) return join_config_directory(working_directory, file);
    return file;
}

std::vector<std::string> config_lines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (end == std::string_view::npos) {
            if (!line.empty()) lines.emplace_back(line);
            break;
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

std::string unquote(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        text.remove_prefix(1);
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string top_level_value(const std::vector<std::string>& lines, std::string_view key) {
    for (const std::string& line : lines)
        if (const auto value = value_after(line, key)) return scalar_value(*value);
    return {};
}

std::string tun_value(const std::vector<std::string>& lines, std::string_view key) {
    bool inside = false;
    for (const std::string& line : lines) {
        if (!inside) {
            inside = is_block_start(line, "tun");
            continue;
        }
        if (is_block_end(line)) return {};
        const auto indented = indented_text(line);
        if (!indented) continue;
        if (const auto value = value_after(*indented, key)) return scalar_value(*value);
    }
    return {};
}

bool is_true_value(std::string_view value) {
    const std::string lower = to_lower_ascii(value);
    return lower == "true" || lower == "yes" || lower == "on";
}

std::vector<OutboundProxy> outbound_proxies(const std::vector<std::string>& lines) {
    // "- name: value" opens an entry; an indented "type:", "server:" or "port:" fills it.
    const auto entry_name = [](std::string_view line) -> std::optional<std::string_view> {
        line = skip_white(line);
        if (!line.starts_with('-') || line.size() < 2 || !is_white(line[1])) return std::nullopt;
        return value_after(skip_white(line.substr(1)), "name");
    };
    std::vector<OutboundProxy> proxies;
    OutboundProxy current;
    bool open = false; // field lines before the first entry belong to no entry
    const auto finish = [&] {
        if (open && !current.name.empty() && !current.server.empty() && current.port != 0)
            proxies.push_back(current);
        current = OutboundProxy{};
    };
    bool inside = false;
    for (const std::string& line : lines) {
        if (!inside) {
            inside = is_block_start(line, "proxies");
            continue;
        }
        if (is_block_end(line)) break;
        const auto indented = indented_text(line);
        if (const auto name = entry_name(line)) {
            finish();
            open = true;
            current.name = scalar_value(*name);
        } else if (auto flow = flow_proxy(line)) {
            finish();
            open = true;
            current = std::move(*flow);
            finish();
            open = false; // the mapping is whole; indented fields after it belong to no entry
        } else if (indented && open) {
            // A quoted YAML scalar means the same value as the bare one ("443" is port 443).
            if (const auto type = rest_after_key(*indented, "type"))
                current.type = scalar_value(*type);
            else if (const auto server = rest_after_key(*indented, "server"))
                current.server = scalar_value(*server);
            else if (const auto port = rest_after_key(*indented, "port"))
                current.port = port_number(scalar_value(*port));
        }
    }
    finish();
    return proxies;
}

CoreConfig read_core_config(std::string_view command_line, const ConfigFileReader& read_file,
                            std::string_view working_directory) {
    CoreConfig config;
    config.config_path = config_file_path(command_line, working_directory);
    std::vector<std::string> lines;
    if (!config.config_path.empty() && read_file) {
        if (std::optional<std::string> text = read_file(config.config_path)) lines = config_lines(*text);
    }
    config.controller = command_line_option(command_line, "ext-ctl");
    if (config.controller.empty())
        config.controller = command_line_option(command_line, "external-controller");
    if (config.controller.empty()) config.controller = top_level_value(lines, "external-controller");
    config.secret = command_line_option(command_line, "secret");
    if (config.secret.empty()) config.secret = top_level_value(lines, "secret");
    config.find_process_mode = top_level_value(lines, "find-process-mode");
    config.tun_stack = tun_value(lines, "stack");
    config.tun_enabled = is_true_value(tun_value(lines, "enable"));
    config.tun_device = tun_value(lines, "device");
    config.outbound_proxies = outbound_proxies(lines);
    return config;
}

std::string bounded_config_text(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    text.resize(limit);
    const std::size_t last_break = text.rfind('\n');
    text.resize(last_break == std::string::npos ? 0 : last_break + 1);
    return text;
}

} // namespace wirelux
