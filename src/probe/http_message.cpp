#include "probe/http_message.h"

#include "util/text.h"
#include "util/utf.h"

#include <charconv>

namespace wirelux {

namespace {

bool has_line_break_or_nul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = text.find('\n', begin);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        lines.push_back(trim(text.substr(begin, stop - begin)));
        if (end == std::string_view::npos) break;
        begin = end + 1;
    }
    return lines;
}

std::string_view second_token(std::string_view line) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const std::size_t first_end = line.find_first_of(kSpace);
    if (first_end == std::string_view::npos) return {};
    const std::size_t start = line.find_first_not_of(kSpace, first_end);
    if (start == std::string_view::npos) return {};
    const std::size_t end = line.find_first_of(kSpace, start);
    return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::uint16_t parse_status(std::string_view token) {
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || error != std::errc() || end != token.data() + token.size()) return 0;
    return value;
}

bool is_followed_status(std::uint16_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// "host", "host:port", "[v6]" or "[v6]:port"; a port that is missing or does not parse means 80.
std::pair<std::string, std::uint16_t> split_authority(std::string_view authority) {
    std::uint16_t port = 80;
    std::string_view host = authority;
    const std::size_t colon = authority.rfind(':');
    // A colon inside the brackets belongs to an IPv6 address, not to a port.
    const bool bracketed_without_port = !authority.empty() && authority.back() == ']';
    if (colon != std::string_view::npos && !bracketed_without_port) {
        host = authority.substr(0, colon);
        const std::string_view port_text = authority.substr(colon + 1);
        const auto [end, error] =
            std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
        if (port_text.empty() || error != std::errc() || end != port_text.data() + port_text.size())
            port = 80;
    }
    while (!host.empty() && host.front() == '[')
        host.remove_prefix(1);
    while (!host.empty() && host.back() == ']')
        host.remove_suffix(1);
    return {std::string(host), port};
}

} // namespace

std::optional<std::string> build_http_request(std::string_view host, std::string_view path,
                                              const HttpHeaders& extra_headers) {
    if (has_line_break_or_nul(host) || has_line_break_or_nul(path)) return std::nullopt;
    std::string request = "GET ";
    request += path.empty() ? std::string_view("/") : path;
    request += " HTTP/1.0\r\nHost: ";
    request += host;
    request += "\r\nConnection: close\r\nAccept: */*\r\n";
    for (const auto& [name, value] : extra_headers) {
        if (has_line_break_or_nul(name) || has_line_break_or_nul(value)) return std::nullopt;
        request += name;
        request += ": ";
        request += value;
        request += "\r\n";
    }
    request += "\r\n";
    return request;
}

HttpResponse parse_http_response(std::string_view raw) {
    const std::size_t separator = raw.find("\r\n\r\n");
    const std::string headers = sanitize_utf8(raw.substr(0, separator));
    HttpResponse response;
    bool status_seen = false;
    bool location_seen = false;
    for (const std::string_view line : lines_of(headers)) {
        if (!status_seen && starts_with_ci(line, "http/")) {
            status_seen = true;
            response.status = parse_status(second_token(line));
        } else if (!location_seen && starts_with_ci(line, "location:")) {
            location_seen = true;
            response.location = std::string(trim(line.substr(line.find(':') + 1)));
        }
    }
    if (separator != std::string_view::npos) response.body = sanitize_utf8(raw.substr(separator + 4));
    return response;
}

std::optional<HttpTarget> redirect_target(const HttpTarget& current, std::uint16_t status,
                                          std::string_view location) {
    if (!is_followed_status(status) || location.empty()) return std::nullopt;
    // Schemes are case-insensitive, so "HTTPS://" is no relative path either.
    if (starts_with_ci(location, "https://") || location.starts_with("//")) return std::nullopt;
    HttpTarget next = current;
    if (starts_with_ci(location, "http://")) {
        const std::string_view rest = location.substr(7);
        const std::size_t slash = rest.find('/');
        auto [host, port] = split_authority(rest.substr(0, slash));
        next.host = std::move(host);
        next.port = port;
        next.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    } else if (location.starts_with('/')) {
        next.path = std::string(location);
    } else {
        const std::size_t last_slash = current.path.rfind('/');
        next.path = last_slash == std::string::npos ? std::string() : current.path.substr(0, last_slash + 1);
        next.path += location;
    }
    return next;
}

} // namespace wirelux
