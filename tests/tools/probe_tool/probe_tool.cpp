// Runs one probe from the command line and prints its outcome, so that lab tests can point the probes
// at real peers:
//   wirelux_probe_tool socks5  <address> <port>              -> "true" or "false"
//   wirelux_probe_tool connect <address> <port>              -> the verdict label (possibly empty)
//   wirelux_probe_tool get <host> <port> <path> <timeout ms> -> "absent", or status, elapsed, title, body
#include "probe/http_get.h"
#include "probe/page_title.h"
#include "probe/proxy_protocol.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

template <typename T> std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int usage() {
    std::fputs("usage: wirelux_probe_tool socks5|connect <address> <port>\n"
               "       wirelux_probe_tool get <host> <port> <path> <timeout ms>\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    const std::string_view command = argv[1];
    const auto port = number<std::uint16_t>(argv[3]);
    if (!port) return usage();
    if (command == "socks5" && argc == 4) {
        std::printf("%s\n", wirelux::socks5_probe(argv[2], *port) ? "true" : "false");
    } else if (command == "connect" && argc == 4) {
        std::printf("%s\n", wirelux::http_connect_probe(argv[2], *port).c_str());
    } else if (command == "get" && argc == 6) {
        const auto timeout = number<unsigned>(argv[5]);
        if (!timeout) return usage();
        const auto result = wirelux::http_get(argv[2], *port, argv[4], {}, *timeout);
        if (!result) {
            std::printf("absent\n");
        } else {
            std::printf("status=%u\nelapsed=%llu\ntitle=%s\nbody=%s", static_cast<unsigned>(result->status),
                        static_cast<unsigned long long>(result->elapsed),
                        wirelux::page_title(result->body).c_str(), result->body.c_str());
        }
    } else {
        return usage();
    }
    return 0;
}
