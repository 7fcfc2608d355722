#pragma once
// The program's one socket layer: the same small interface over Winsock and BSD sockets.
//
// Every socket is non-blocking underneath and every operation waits for readiness only until the
// caller's deadline, so no call can block longer than the probe that makes it allows. Failures are
// values; sockets close themselves.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace wirelux {

enum class IpFamily : std::uint8_t { v4, v6 };

using Deadline = std::chrono::steady_clock::time_point;

Deadline deadline_after(unsigned milliseconds);

// An IPv4 or IPv6 address with a port (and, for IPv6, the scope id of a zone).
class SocketAddress {
public:
    // An address literal: dotted IPv4, or IPv6 with an optional "%zone" (an interface name or number).
    // No name lookup is made; anything else is absent.
    static std::optional<SocketAddress> parse(std::string_view literal, std::uint16_t port = 0);
    // The wildcard address of a family ("0.0.0.0" or "::").
    static SocketAddress any(IpFamily family, std::uint16_t port = 0);
    // From the system's own socket address structure; absent for other families or a short size.
    static std::optional<SocketAddress> from_native(const void* native, std::size_t size);

    IpFamily family() const { return family_; }
    std::uint16_t port() const { return port_; }
    std::uint32_t scope_id() const { return scope_id_; }
    SocketAddress with_port(std::uint16_t port) const;
    // The address in network byte order: 4 bytes for IPv4, 16 for IPv6.
    std::span<const std::uint8_t> bytes() const;
    // The canonical address text (IPv6 compressed), without zone or port.
    std::string address_text() const;

    // Writes the system's socket address structure; returns its size, 0 when it does not fit.
    std::size_t to_native(void* native, std::size_t capacity) const;

    bool operator==(const SocketAddress&) const = default;

private:
    IpFamily family_ = IpFamily::v4;
    std::array<std::uint8_t, 16> bytes_{};
    std::uint16_t port_ = 0;
    std::uint32_t scope_id_ = 0;
};

// A literal is used as it is; any other host text goes to the system resolver, whose first IPv4 or
// IPv6 answer is taken. The lookup itself is bounded only by the system resolver's own time-outs.
std::optional<SocketAddress> resolve(std::string_view host, std::uint16_t port);

enum class SocketErrorKind : std::uint8_t { none, resolve_failed, timed_out, refused, unreachable, system };

struct SocketError {
    SocketErrorKind kind = SocketErrorKind::none;
    int code = 0; // the system's error number behind it (errno or a Winsock code); 0 when there is none

    std::string text() const;
};

struct ConnectResult;

struct Datagram {
    std::size_t size = 0;
    SocketAddress from;
};

class Socket {
public:
    Socket() = default;
    Socket(Socket&& other) noexcept : handle_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { close(); }

    // A UDP socket bound to `local`; SocketAddress::any(family) lets the system choose the port.
    static std::optional<Socket> open_udp(const SocketAddress& local);
    // A TCP listener on `local` (for the program's tests and their fake peers).
    static std::optional<Socket> listen_tcp(const SocketAddress& local);
    static ConnectResult connect_tcp(const SocketAddress& peer, unsigned timeout_ms);
    // Resolves first; an unresolvable host is SocketErrorKind::resolve_failed.
    static ConnectResult connect_tcp(std::string_view host, std::uint16_t port, unsigned timeout_ms);

    bool valid() const { return handle_ != kInvalid; }
    void close();

    // Fixes the peer of a UDP socket. Nothing is sent, but the system chooses route and source address,
    // and fails here when it has no route.
    SocketError connect_datagram(const SocketAddress& peer);

    // One datagram to `peer`.
    bool send_to(std::span<const std::uint8_t> data, const SocketAddress& peer, Deadline deadline);
    // One datagram; a larger one is cut to the buffer. Absent on error or when the deadline passes.
    std::optional<Datagram> receive_from(std::span<std::uint8_t> buffer, Deadline deadline);

    // Stream: every byte, or false.
    bool send_all(std::span<const std::uint8_t> data, Deadline deadline);
    bool send_all(std::string_view text, Deadline deadline);
    // Stream: what is there, up to the buffer size; 0 when the peer has closed; absent on error or time-out.
    std::optional<std::size_t> receive(std::span<std::uint8_t> buffer, Deadline deadline);

    std::optional<Socket> accept(Deadline deadline);

    std::optional<SocketAddress> local_address() const;
    // The local address text (canonical, no port); empty when unknown.
    std::string local_address_text() const;

private:
    static constexpr std::intptr_t kInvalid = -1;
    explicit Socket(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t release() {
        const std::intptr_t handle = handle_;
        handle_ = kInvalid;
        return handle;
    }

    std::intptr_t handle_ = kInvalid;
};

struct ConnectResult {
    Socket socket; // valid when connected
    SocketError error;

    explicit operator bool() const { return socket.valid(); }
};

} // namespace wirelux
