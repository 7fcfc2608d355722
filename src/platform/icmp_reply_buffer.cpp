#include "platform/icmp_reply_buffer.h"

namespace wirelux::platform {

namespace {

// Windows lays its records out little-endian whatever machine reads the buffer.
std::uint32_t little_endian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

} // namespace

EchoResult echo_result_from_reply_buffer(std::span<const std::uint8_t> buffer, std::uint32_t reply_count,
                                         const IcmpReplyLayout& layout) {
    if (reply_count == 0 || buffer.size() < layout.record_size ||
        layout.status_offset + 4 > layout.record_size || layout.round_trip_offset + 4 > layout.record_size)
        return {};
    if (little_endian32(buffer, layout.status_offset) != kIcmpStatusSuccess) return {};
    return {true, static_cast<std::int64_t>(little_endian32(buffer, layout.round_trip_offset))};
}

} // namespace wirelux::platform
