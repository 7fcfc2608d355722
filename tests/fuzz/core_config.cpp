// A proxy core's command line and the configuration file it names (both written by other programs).
// The input is the command line, a NUL byte, then the file's text.
#include "common/harness.h"
#include "mihomo/controller.h"
#include "mihomo/core_config.h"
#include "util/utf.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const auto [command_line, file_text] = split_once(input, '\0');
    const CoreConfig config = read_core_config(command_line, [text = file_text](const std::string&) {
        return std::optional<std::string>(bounded_config_text(std::string(text)));
    });
    for (const OutboundProxy& proxy : config.outbound_proxies)
        check(!proxy.name.empty() && !proxy.server.empty() && proxy.port != 0, "only complete proxies");
    if (const auto address = parse_controller_address(config.controller))
        check(address->port != 0 && !address->host.empty(), "a controller address has a host and a port");

    // The read limit: a cut text ends at a line break and is a prefix of the file.
    const std::size_t limit = file_text.size() / 2;
    const std::string bounded = bounded_config_text(std::string(file_text), limit);
    check(bounded.size() <= std::max(limit, file_text.size() <= limit ? file_text.size() : 0),
          "the bounded text fits the limit");
    check(file_text.starts_with(bounded), "the bounded text is a prefix");
    check(file_text.size() <= limit || bounded.empty() || bounded.back() == '\n', "a cut text ends a line");
}

} // namespace wirelux::fuzz
