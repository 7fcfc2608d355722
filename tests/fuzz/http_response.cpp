// An HTTP response as the portal, the campus API or a proxy core's controller may send it, and the
// redirect it may ask for.
#include "common/harness.h"
#include "probe/http_message.h"
#include "util/utf.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const HttpResponse response = parse_http_response(input);
    check(is_valid_utf8(response.body) && is_valid_utf8(response.location), "texts are UTF-8");

    // The redirect from a page that was itself reached by one, so a relative location has a base.
    const HttpTarget current{"10.0.0.55", 80, "/a/b?c"};
    // Every followed status, so that the location is read even when the status line is garbage.
    const std::optional<HttpTarget> next = redirect_target(current, 302, response.location);
    if (!next) return;
    const HttpHeaders headers{{"Authorization", "Bearer x"}};
    const std::optional<std::string> request = build_http_request(next->host, next->path, headers);
    if (!request) return;
    // Whatever the location held, the request has exactly one header block and no bare line breaks.
    check(request->find("\r\n\r\n") == request->size() - 4, "one header block");
    for (std::size_t i = 0; i < request->size(); ++i) {
        const char c = (*request)[i];
        check(c != '\0', "no NUL in the request");
        if (c == '\n') check(i > 0 && (*request)[i - 1] == '\r', "line breaks are CR LF");
        if (c == '\r') check(i + 1 < request->size() && (*request)[i + 1] == '\n', "no bare CR");
    }
}

} // namespace wirelux::fuzz
