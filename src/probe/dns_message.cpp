#include "probe/dns_message.h"

#include <optional>

namespace wirelux {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::uint16_t kRecursionDesired = 0x0100;
constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kClassIn = 1;
constexpr std::size_t kLongestLabel = 63;
constexpr std::size_t kLongestName = 255;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// The offset just past the name at `at`. A compression pointer ends the name (its target is not
// needed to skip it). Absent when the name runs past the end.
std::optional<std::size_t> skip_name(std::span<const std::uint8_t> bytes, std::size_t at) {
    constexpr std::uint8_t kPointer = 0xC0;
    while (at < bytes.size()) {
        const std::uint8_t length = bytes[at];
        if (length == 0) return at + 1;
        if (length >= kPointer) return at + 2 <= bytes.size() ? std::optional(at + 2) : std::nullopt;
        at += 1 + std::size_t{length};
    }
    return std::nullopt;
}

} // namespace

std::vector<std::uint8_t> build_dns_query(std::uint16_t id, std::string_view name) {
    std::vector<std::uint8_t> query;
    put16(query, id);
    put16(query, kRecursionDesired);
    put16(query, 1); // questions
    put16(query, 0); // answers
    put16(query, 0); // authority records
    put16(query, 0); // additional records
    std::size_t encoded = 0;
    while (!name.empty()) {
        const std::size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        name = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
        if (label.empty()) continue;
        if (label.size() > kLongestLabel) return {};
        encoded += 1 + label.size();
        query.push_back(static_cast<std::uint8_t>(label.size()));
        query.insert(query.end(), label.begin(), label.end());
    }
    if (encoded + 1 > kLongestName) return {};
    query.push_back(0);
    put16(query, kTypeA);
    put16(query, kClassIn);
    return query;
}

bool is_dns_reply_to(std::span<const std::uint8_t> datagram, std::uint16_t id) {
    return datagram.size() >= kHeaderSize && get16(datagram, 0) == id;
}

std::string first_a_record(std::span<const std::uint8_t> reply) {
    if (reply.size() < kHeaderSize) return {};
    const std::uint16_t questions = get16(reply, 4);
    const std::uint16_t answers = get16(reply, 6);
    std::size_t at = kHeaderSize;
    // Every question the reply repeats is skipped, so that a reply that repeats none is not misread.
    for (std::uint16_t q = 0; q < questions; ++q) {
        const auto after = skip_name(reply, at);
        if (!after) return {};
        at = *after + 4; // type and class
    }
    for (std::uint16_t a = 0; a < answers; ++a) {
        const auto after = skip_name(reply, at);
        if (!after || *after + 10 > reply.size()) return {};
        at = *after;
        const std::uint16_t type = get16(reply, at);
        const std::uint16_t data_length = get16(reply, at + 8);
        at += 10;
        if (type == kTypeA && data_length == 4 && at + 4 <= reply.size()) {
            return std::to_string(reply[at]) + "." + std::to_string(reply[at + 1]) + "." +
                   std::to_string(reply[at + 2]) + "." + std::to_string(reply[at + 3]);
        }
        at += data_length;
    }
    return {};
}

} // namespace wirelux
