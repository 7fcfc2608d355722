#include "platform/icmp.h"

#include "platform/icmp_packet.h"
#include "platform/icmp_reply_buffer.h"
#include "platform/socket.h"

// Winsock before windows.h, and the IP Helper headers after both.
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format off
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <array>
#include <cstddef>
#include <cstring>

namespace wirelux::platform {

namespace {

// The MinGW headers lack ICMPV6_ECHO_REPLY, and their IPV6_ADDRESS_EX is not packed as the SDK's is.
#pragma pack(push, 1)
struct Ipv6AddressEx {
    USHORT sin6_port;
    ULONG sin6_flowinfo;
    USHORT sin6_addr[8];
    ULONG sin6_scope_id;
};
#pragma pack(pop)

struct Icmpv6EchoReply {
    Ipv6AddressEx Address;
    ULONG Status;
    unsigned int RoundTripTime;
};

static_assert(sizeof(Ipv6AddressEx) == 26);
static_assert(sizeof(Icmpv6EchoReply) == kIcmpv6EchoReplyLayout.record_size);
static_assert(offsetof(Icmpv6EchoReply, Status) == kIcmpv6EchoReplyLayout.status_offset);
static_assert(offsetof(Icmpv6EchoReply, RoundTripTime) == kIcmpv6EchoReplyLayout.round_trip_offset);
static_assert(sizeof(ICMP_ECHO_REPLY) == kIcmpEchoReplyLayout.record_size);
static_assert(offsetof(ICMP_ECHO_REPLY, Status) == kIcmpEchoReplyLayout.status_offset);
static_assert(offsetof(ICMP_ECHO_REPLY, RoundTripTime) == kIcmpEchoReplyLayout.round_trip_offset);

class IcmpHandle {
public:
    explicit IcmpHandle(HANDLE handle) : handle_(handle) {}
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    ~IcmpHandle() {
        if (valid()) ::IcmpCloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

constexpr DWORD kReplyBufferSize = 256;

} // namespace

EchoResult icmp_echo(std::string_view target, unsigned timeout_ms) {
    const auto address = SocketAddress::parse(target);
    if (!address) return {};
    std::array<std::uint8_t, kEchoPayload.size()> payload = kEchoPayload;
    alignas(8) std::array<std::uint8_t, kReplyBufferSize> reply{};

    if (address->family() == IpFamily::v4) {
        const IcmpHandle handle(::IcmpCreateFile());
        if (!handle.valid()) return {};
        IPAddr destination = 0;
        std::memcpy(&destination, address->bytes().data(), sizeof destination);
        const DWORD replies = ::IcmpSendEcho(handle.get(), destination, payload.data(), payload.size(),
                                             nullptr, reply.data(), reply.size(), timeout_ms);
        return echo_result_from_reply_buffer(reply, replies, kIcmpEchoReplyLayout);
    }

    const IcmpHandle handle(::Icmp6CreateFile());
    if (!handle.valid()) return {};
    sockaddr_in6 source{};
    source.sin6_family = AF_INET6;
    sockaddr_in6 destination{};
    if (address->to_native(&destination, sizeof destination) != sizeof destination) return {};
    const DWORD replies =
        ::Icmp6SendEcho2(handle.get(), nullptr, nullptr, nullptr, &source, &destination, payload.data(),
                         payload.size(), nullptr, reply.data(), reply.size(), timeout_ms);
    return echo_result_from_reply_buffer(reply, replies, kIcmpv6EchoReplyLayout);
}

} // namespace wirelux::platform
