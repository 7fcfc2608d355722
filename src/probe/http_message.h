#pragma once
// The pure half of the HTTP/1.0 GET client: request bytes, response parsing and where a redirect leads.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wirelux {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// A whole response is read until the peer closes, but never kept much beyond this size.
inline constexpr std::size_t kHttpResponseCap = 4194304;

// Where one request goes.
struct HttpTarget {
    std::string host; // without port or brackets
    std::uint16_t port = 80;
    std::string path;

    bool operator==(const HttpTarget&) const = default;
};

// The request bytes; absent when the host, path or a header carries a line break or NUL, which would
// let the text (a redirect's location, say) smuggle in header lines of its own.
std::optional<std::string> build_http_request(std::string_view host, std::string_view path,
                                              const HttpHeaders& extra_headers);

struct HttpResponse {
    std::uint16_t status = 0; // 0 when no status line could be read
    std::string location;     // empty when there is none
    std::string body;         // UTF-8, invalid sequences replaced
};

HttpResponse parse_http_response(std::string_view raw);

// The next request when the response is a redirect that is followed; absent otherwise (not a
// redirect, no location, or a location on another scheme or a scheme-relative one).
std::optional<HttpTarget> redirect_target(const HttpTarget& current, std::uint16_t status,
                                          std::string_view location);

} // namespace wirelux
