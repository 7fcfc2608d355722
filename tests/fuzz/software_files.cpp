// What the software scan reads from other programs: names in the registry, shortcut and folder names,
// and the configuration files in a proxy program's folder that may name the proxy's local port (the
// first two bytes give the port).
#include "common/harness.h"
#include "facts/software_scan.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    (void)names_proxy_software(input);
    const std::uint16_t port =
        input.size() >= 2 ? static_cast<std::uint16_t>(static_cast<unsigned char>(input[0]) << 8 |
                                                       static_cast<unsigned char>(input[1]))
                          : 7890;
    const bool mentioned = mentions_local_port(input, port);
    check(!mentioned || input.find(std::to_string(port)) != std::string_view::npos, "a mention holds the port");
}

} // namespace wirelux::fuzz
