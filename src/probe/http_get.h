#pragma once
// The program's minimal HTTP/1.0 GET client: plain HTTP only, following a few plain-HTTP redirects.

#include "model/probe_results.h"
#include "probe/http_message.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace wirelux {

// At most this many requests per GET; a redirect on the last one leaves the GET without a result.
inline constexpr int kHttpMaxRequests = 5;

// The time-out bounds the connect, the sending of the request and the reading of each whole response,
// so one request takes at most about three time-outs however the server paces its bytes. Absent when
// no response could be had (resolution, connect or send failed, or the redirects did not end). The
// extra headers are sent only to the host and port first asked, never after a redirect elsewhere.
std::optional<HttpGetResult> http_get(std::string_view host, std::uint16_t port, std::string_view path,
                                      const HttpHeaders& extra_headers, unsigned timeout_ms);

} // namespace wirelux
