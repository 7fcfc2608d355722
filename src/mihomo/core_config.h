#pragma once
// What a proxy core's command line and configuration file say about it: where its configuration
// lives, where its controller listens, its secret, its TUN stack and its outbound proxies. Pure text
// work; the file is read by whoever calls.

#include "model/core_info.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// A configuration larger than this is read only this far; the cut final line is dropped.
inline constexpr std::size_t kCoreConfigReadLimit = 8 * 1024 * 1024;

// The value of a command-line option written "-name value", "--name value" or "--name=value"; a value
// in double quotes comes without them. Empty when the option is absent.
std::string command_line_option(std::string_view command_line, std::string_view name);

// True for "/x", "\x" and "X:\x" / "X:/x".
bool is_absolute_path(std::string_view path);

// The configuration file named by the options d (directory) and f (file); empty when neither is given.
// A relative f without d is relative to the core's working directory, when that is known.
std::string config_file_path(std::string_view command_line, std::string_view working_directory = {});

// The file's text as lines, without their line breaks; a UTF-8 byte-order mark before the first is
// dropped.
std::vector<std::string> config_lines(std::string_view text);

// Trimmed, and one pair of matching surrounding quotes (double or single) removed.
std::string unquote(std::string_view text);

// A scalar as a configuration writes it: a comment (a "#" after white space, or at the start) that
// is not inside the value's quotes is dropped, then the value is unquoted.
std::string scalar_value(std::string_view text);

// The unquoted value of the first top-level line "key: value"; empty when there is none.
std::string top_level_value(const std::vector<std::string>& lines, std::string_view key);

// The value of a key inside the top-level tun block; empty outside it or when absent.
std::string tun_value(const std::vector<std::string>& lines, std::string_view key);

// A YAML truth value as a configuration writes one ("true", "True", "yes", "on").
bool is_true_value(std::string_view value);

// The complete entries (name, server and a non-zero port) of the top-level proxies list, written as
// blocks ("- name: a" and indented fields) or as flow mappings ("- {name: a, server: h, port: 1}").
std::vector<OutboundProxy> outbound_proxies(const std::vector<std::string>& lines);

struct CoreConfig {
    std::string config_path;
    std::string controller;
    std::string secret;
    std::string find_process_mode;
    std::string tun_stack;
    bool tun_enabled = false; // tun.enable; a stack line alone enables nothing
    std::string tun_device;
    std::vector<OutboundProxy> outbound_proxies;
};

// Reads the whole configuration of a core from its command line; read_file gives a file's text, or
// nothing when it cannot be read, which leaves every file fact empty.
using ConfigFileReader = std::function<std::optional<std::string>(const std::string& path)>;
CoreConfig read_core_config(std::string_view command_line, const ConfigFileReader& read_file,
                            std::string_view working_directory = {});

// The text of a file read at most limit + 1 bytes far: unchanged when it fits the limit, else cut to
// the limit and back to the end of its last whole line, so no key is read with a cut value.
std::string bounded_config_text(std::string text, std::size_t limit = kCoreConfigReadLimit);

} // namespace wirelux
