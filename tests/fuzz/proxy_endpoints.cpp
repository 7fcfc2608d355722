// Proxy setting texts: a WinINET server list from the registry, the WinHTTP text netsh prints and the
// proxy environment variables, all written by other programs.
#include "common/harness.h"
#include "facts/proxy_endpoints.h"
#include "facts/proxy_settings.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    for (const ProxyEndpoint& endpoint : parse_proxy_endpoints(input, "ENV:https_proxy")) {
        check(endpoint.port != 0, "port 0 is no endpoint");
        check(endpoint.endpoint == endpoint_text(endpoint.host, endpoint.port), "endpoint is host:port");
        check(endpoint.host.find('@') == std::string::npos, "no user information in a host");
    }
    for (const WinInetEndpoint& endpoint : wininet_endpoints(input))
        check(!endpoint.text.empty(), "an endpoint has text");
}

} // namespace wirelux::fuzz
