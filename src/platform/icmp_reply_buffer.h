#pragma once
// Reading the reply buffer the Windows ICMP calls fill: an array of reply records (followed by the
// echoed data). Kept free of Windows headers so that it is checked on buffers built by hand on every
// platform; the Windows backend asserts at compile time that these offsets are the SDK's.

#include "model/probe_results.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace wirelux::platform {

struct IcmpReplyLayout {
    std::size_t record_size = 0;
    std::size_t status_offset = 0;
    std::size_t round_trip_offset = 0;
};

// ICMP_ECHO_REPLY on 64-bit Windows.
inline constexpr IcmpReplyLayout kIcmpEchoReplyLayout{40, 4, 8};
// ICMPV6_ECHO_REPLY: a packed 26-byte address, then status and round-trip time.
inline constexpr IcmpReplyLayout kIcmpv6EchoReplyLayout{36, 28, 32};

inline constexpr std::uint32_t kIcmpStatusSuccess = 0;

// The first reply record of a buffer for which the call reported `reply_count` replies: ok with its
// round-trip time when its status is success; not ok (and -1) when there is no whole record.
EchoResult echo_result_from_reply_buffer(std::span<const std::uint8_t> buffer, std::uint32_t reply_count,
                                         const IcmpReplyLayout& layout);

} // namespace wirelux::platform
