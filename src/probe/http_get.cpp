#include "probe/http_get.h"

#include "platform/socket.h"

#include <array>
#include <chrono>

namespace wirelux {

namespace {

constexpr std::size_t kReceiveSize = 8192;

// Until the peer closes, a receive fails, the cap is passed (the chunk that passed it is kept) or the
// response's deadline is reached. One deadline for the whole response, rather than one per receive,
// keeps a server that trickles its bytes from holding the GET for as long as it likes.
std::string read_response(Socket& socket, unsigned timeout_ms) {
    const Deadline deadline = deadline_after(timeout_ms);
    std::string response;
    std::array<std::uint8_t, kReceiveSize> buffer{};
    while (response.size() <= kHttpResponseCap) {
        const auto received = socket.receive(buffer, deadline);
        if (!received || *received == 0) break;
        response.append(reinterpret_cast<const char*>(buffer.data()), *received);
    }
    return response;
}

} // namespace

std::optional<HttpGetResult> http_get(std::string_view host, std::uint16_t port, std::string_view path,
                                      const HttpHeaders& extra_headers, unsigned timeout_ms) {
    // The path actually requested, so that a relative redirect resolves against "/" and not nothing.
    HttpTarget target{std::string(host), port, path.empty() ? std::string("/") : std::string(path)};
    const HttpTarget first = target;
    std::uint64_t elapsed = 0;
    for (int request = 0; request < kHttpMaxRequests; ++request) {
        // The caller's headers (credentials among them) are meant for the server it named; a redirect
        // elsewhere gets the request without them.
        const bool same_server = target.host == first.host && target.port == first.port;
        const auto bytes =
            build_http_request(target.host, target.path, same_server ? extra_headers : HttpHeaders{});
        if (!bytes) return std::nullopt;

        const auto start = std::chrono::steady_clock::now();
        ConnectResult connection = Socket::connect_tcp(target.host, target.port, timeout_ms);
        if (!connection) return std::nullopt;
        if (!connection.socket.send_all(*bytes, deadline_after(timeout_ms))) return std::nullopt;
        const std::string raw = read_response(connection.socket, timeout_ms);
        elapsed += static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
        connection.socket.close();

        HttpResponse response = parse_http_response(raw);
        auto next = redirect_target(target, response.status, response.location);
        if (!next) return HttpGetResult{std::move(response.body), elapsed, response.status};
        target = std::move(*next);
    }
    return std::nullopt;
}

} // namespace wirelux
