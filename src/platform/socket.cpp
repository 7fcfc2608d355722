#include "platform/socket.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <mutex>

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on
#else
#include <arpa/inet.h>
#include <cerrno>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace wirelux {

namespace {

// ---- The differences between Winsock and BSD sockets, kept together ----

#ifdef _WIN32
using NativeSocket = SOCKET;
using NativeLength = int;
using IoLength = int;
constexpr int kSendFlags = 0;

// Sockets are opened from any worker thread until the process ends, so Winsock is started once and
// left running rather than reference-counted per socket.
void ensure_started() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

int last_error() {
    return WSAGetLastError();
}
bool would_block(int code) {
    return code == WSAEWOULDBLOCK || code == WSAEINTR;
}
bool connect_pending(int code) {
    return code == WSAEWOULDBLOCK;
}
NativeSocket to_native_socket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}
void close_native(NativeSocket s) {
    ::closesocket(s);
}

bool make_nonblocking(NativeSocket s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

// Not inheritable, so that the child processes the program starts do not keep its sockets open.
std::intptr_t open_native(int family, int type, int protocol) {
    ensure_started();
    const SOCKET s =
        ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return -1;
    if (!make_nonblocking(s)) {
        ::closesocket(s);
        return -1;
    }
    return static_cast<std::intptr_t>(s);
}

std::intptr_t accept_native(NativeSocket listener) {
    const SOCKET s = ::accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return -1;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (!make_nonblocking(s)) {
        ::closesocket(s);
        return -1;
    }
    return static_cast<std::intptr_t>(s);
}

SocketErrorKind classify(int code) {
    switch (code) {
    case WSAECONNREFUSED:
        return SocketErrorKind::refused;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return SocketErrorKind::unreachable;
    case WSAETIMEDOUT:
        return SocketErrorKind::timed_out;
    default:
        return SocketErrorKind::system;
    }
}

#else
using NativeSocket = int;
using NativeLength = socklen_t;
using IoLength = std::size_t;
// A peer that has gone away must give an error, not end the process with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;

void ensure_started() {}
int last_error() {
    return errno;
}
bool would_block(int code) {
    return code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}
// An interrupted connect goes on in the background, so it is waited for like one in progress.
bool connect_pending(int code) {
    return code == EINPROGRESS || code == EINTR;
}
NativeSocket to_native_socket(std::intptr_t handle) {
    return static_cast<int>(handle);
}
void close_native(NativeSocket s) {
    ::close(s);
}

std::intptr_t open_native(int family, int type, int protocol) {
    return ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
}

std::intptr_t accept_native(NativeSocket listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

SocketErrorKind classify(int code) {
    switch (code) {
    case ECONNREFUSED:
        return SocketErrorKind::refused;
    case ENETUNREACH:
    case EHOSTUNREACH:
        return SocketErrorKind::unreachable;
    case ETIMEDOUT:
        return SocketErrorKind::timed_out;
    default:
        return SocketErrorKind::system;
    }
}
#endif

// ---- Shared code ----

SocketError error_from(int code) {
    return {classify(code), code};
}

int family_constant(IpFamily family) {
    return family == IpFamily::v4 ? AF_INET : AF_INET6;
}

int remaining_ms(Deadline deadline) {
    const auto now = std::chrono::steady_clock::now();
    if (deadline <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<long long>(left, INT_MAX));
}

enum class Readiness { ready, timed_out, failed };
enum class WaitFor { read, write, connect };

// Waits until the socket can be read (or written, or its connect has ended), has failed, or the
// deadline has passed. The deadline is looked at on every pass: a caller whose operation still would
// block after "ready" comes back here and ends at the deadline however often readiness is signalled.
Readiness wait_ready(NativeSocket s, WaitFor what, Deadline deadline) {
    const bool for_write = what != WaitFor::read;
    for (;;) {
        if (std::chrono::steady_clock::now() >= deadline) return Readiness::timed_out;
        const int wait_ms = remaining_ms(deadline);
#ifdef _WIN32
        fd_set ready_set;
        fd_set error_set;
        FD_ZERO(&ready_set);
        FD_ZERO(&error_set);
        FD_SET(s, &ready_set);
        FD_SET(s, &error_set);
        timeval wait{wait_ms / 1000, (wait_ms % 1000) * 1000};
        // A failed non-blocking connect is reported in the exception set only. On a connected socket
        // that set signals urgent data, which plain reads never take, so it would be "ready" forever.
        const int n = ::select(0, for_write ? nullptr : &ready_set, for_write ? &ready_set : nullptr,
                               what == WaitFor::connect ? &error_set : nullptr, &wait);
        if (n < 0) return Readiness::failed;
#else
        pollfd entry{s, static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
        const int n = ::poll(&entry, 1, wait_ms);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Readiness::failed;
        }
#endif
        if (n > 0) return Readiness::ready;
    }
}

std::optional<std::uint32_t> zone_index(std::string_view zone) {
    if (zone.empty()) return std::nullopt;
    if (std::all_of(zone.begin(), zone.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        std::uint32_t index = 0;
        const auto [end, error] = std::from_chars(zone.data(), zone.data() + zone.size(), index);
        if (error != std::errc() || end != zone.data() + zone.size()) return std::nullopt;
        return index;
    }
    const unsigned index = ::if_nametoindex(std::string(zone).c_str());
    if (index == 0) return std::nullopt;
    return index;
}

// Room for any address the system hands back.
struct NativeAddress {
    sockaddr_storage storage{};
    NativeLength size = sizeof(sockaddr_storage);

    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

std::optional<NativeAddress> native_of(const SocketAddress& address) {
    NativeAddress native;
    native.size = static_cast<NativeLength>(address.to_native(&native.storage, sizeof native.storage));
    if (native.size == 0) return std::nullopt;
    return native;
}

} // namespace

Deadline deadline_after(unsigned milliseconds) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

// ---- SocketAddress ----

std::optional<SocketAddress> SocketAddress::parse(std::string_view literal, std::uint16_t port) {
    // The longest IPv6 text plus an interface name; anything longer is not an address literal.
    constexpr std::size_t kLongestLiteral = 46 + 1 + 256;
    if (literal.empty() || literal.size() > kLongestLiteral || literal.find('\0') != std::string_view::npos)
        return std::nullopt;
    ensure_started();
    const std::size_t percent = literal.find('%');
    const std::string address(literal.substr(0, percent));
    SocketAddress result;
    result.port_ = port;
    if (::inet_pton(AF_INET, address.c_str(), result.bytes_.data()) == 1) {
        if (percent != std::string_view::npos) return std::nullopt;
        result.family_ = IpFamily::v4;
        return result;
    }
    if (::inet_pton(AF_INET6, address.c_str(), result.bytes_.data()) != 1) return std::nullopt;
    result.family_ = IpFamily::v6;
    if (percent != std::string_view::npos) {
        const auto scope = zone_index(literal.substr(percent + 1));
        if (!scope) return std::nullopt;
        result.scope_id_ = *scope;
    }
    return result;
}

SocketAddress SocketAddress::any(IpFamily family, std::uint16_t port) {
    SocketAddress result;
    result.family_ = family;
    result.port_ = port;
    return result;
}

std::optional<SocketAddress> SocketAddress::from_native(const void* native, std::size_t size) {
    sockaddr_storage storage{};
    if (native == nullptr || size < sizeof(sockaddr_in) || size > sizeof storage) return std::nullopt;
    std::memcpy(&storage, native, size);
    SocketAddress result;
    if (storage.ss_family == AF_INET) {
        sockaddr_in v4;
        std::memcpy(&v4, &storage, sizeof v4);
        result.family_ = IpFamily::v4;
        std::memcpy(result.bytes_.data(), &v4.sin_addr, 4);
        result.port_ = ntohs(v4.sin_port);
        return result;
    }
    if (storage.ss_family == AF_INET6 && size >= sizeof(sockaddr_in6)) {
        sockaddr_in6 v6;
        std::memcpy(&v6, &storage, sizeof v6);
        result.family_ = IpFamily::v6;
        std::memcpy(result.bytes_.data(), &v6.sin6_addr, 16);
        result.port_ = ntohs(v6.sin6_port);
        result.scope_id_ = v6.sin6_scope_id;
        return result;
    }
    return std::nullopt;
}

SocketAddress SocketAddress::with_port(std::uint16_t port) const {
    SocketAddress result = *this;
    result.port_ = port;
    return result;
}

std::span<const std::uint8_t> SocketAddress::bytes() const {
    return {bytes_.data(), family_ == IpFamily::v4 ? std::size_t{4} : std::size_t{16}};
}

std::string SocketAddress::address_text() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (::inet_ntop(family_constant(family_), bytes_.data(), text, sizeof text) == nullptr) return {};
    return text;
}

std::size_t SocketAddress::to_native(void* native, std::size_t capacity) const {
    if (family_ == IpFamily::v4) {
        if (capacity < sizeof(sockaddr_in)) return 0;
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port_);
        std::memcpy(&v4.sin_addr, bytes_.data(), 4);
        std::memcpy(native, &v4, sizeof v4);
        return sizeof v4;
    }
    if (capacity < sizeof(sockaddr_in6)) return 0;
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(port_);
    std::memcpy(&v6.sin6_addr, bytes_.data(), 16);
    v6.sin6_scope_id = scope_id_;
    std::memcpy(native, &v6, sizeof v6);
    return sizeof v6;
}

std::optional<SocketAddress> resolve(std::string_view host, std::uint16_t port) {
    if (auto literal = SocketAddress::parse(host, port)) return literal;
    // No host name holds these; such text is a mistyped literal and is not sent to the resolver.
    if (host.empty() || host.find_first_of(std::string_view(":%\0", 3)) != std::string_view::npos)
        return std::nullopt;
    ensure_started();
    addrinfo hints{};
    addrinfo* list = nullptr;
    if (::getaddrinfo(std::string(host).c_str(), nullptr, &hints, &list) != 0) return std::nullopt;
    std::optional<SocketAddress> found;
    for (const addrinfo* entry = list; entry != nullptr && !found; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
        found = SocketAddress::from_native(entry->ai_addr, entry->ai_addrlen);
    }
    ::freeaddrinfo(list);
    if (!found) return std::nullopt;
    return found->with_port(port);
}

std::string SocketError::text() const {
    switch (kind) {
    case SocketErrorKind::none:
        return {};
    case SocketErrorKind::resolve_failed:
        return "resolve failed";
    case SocketErrorKind::timed_out:
        return "timed out";
    case SocketErrorKind::refused:
        return "connection refused";
    case SocketErrorKind::unreachable:
        return "unreachable";
    case SocketErrorKind::system:
        break;
    }
    return "socket error " + std::to_string(code);
}

// ---- Socket ----

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.release();
    }
    return *this;
}

void Socket::close() {
    if (valid()) close_native(to_native_socket(handle_));
    handle_ = kInvalid;
}

std::optional<Socket> Socket::open_udp(const SocketAddress& local) {
    const auto native = native_of(local);
    Socket socket(open_native(family_constant(local.family()), SOCK_DGRAM, IPPROTO_UDP));
    if (!socket.valid() || !native) return std::nullopt;
    auto bound = *native;
    if (::bind(to_native_socket(socket.handle_), bound.get(), bound.size) != 0) return std::nullopt;
    return socket;
}

std::optional<Socket> Socket::listen_tcp(const SocketAddress& local) {
    const auto native = native_of(local);
    Socket socket(open_native(family_constant(local.family()), SOCK_STREAM, IPPROTO_TCP));
    if (!socket.valid() || !native) return std::nullopt;
    auto bound = *native;
    const NativeSocket s = to_native_socket(socket.handle_);
    if (::bind(s, bound.get(), bound.size) != 0 || ::listen(s, SOMAXCONN) != 0) return std::nullopt;
    return socket;
}

ConnectResult Socket::connect_tcp(const SocketAddress& peer, unsigned timeout_ms) {
    const Deadline deadline = deadline_after(timeout_ms);
    auto native = native_of(peer);
    Socket socket(open_native(family_constant(peer.family()), SOCK_STREAM, IPPROTO_TCP));
    if (!socket.valid() || !native) return {{}, error_from(last_error())};
    const NativeSocket s = to_native_socket(socket.handle_);
    if (::connect(s, native->get(), native->size) == 0) return {std::move(socket), {}};
    const int code = last_error();
    if (!connect_pending(code)) return {{}, error_from(code)};
    switch (wait_ready(s, WaitFor::connect, deadline)) {
    case Readiness::timed_out:
        return {{}, {SocketErrorKind::timed_out, 0}};
    case Readiness::failed:
        return {{}, error_from(last_error())};
    case Readiness::ready:
        break;
    }
    int pending = 0;
    NativeLength length = sizeof pending;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) != 0)
        return {{}, error_from(last_error())};
    if (pending != 0) return {{}, error_from(pending)};
    return {std::move(socket), {}};
}

ConnectResult Socket::connect_tcp(std::string_view host, std::uint16_t port, unsigned timeout_ms) {
    const auto peer = resolve(host, port);
    if (!peer) return {{}, {SocketErrorKind::resolve_failed, 0}};
    return connect_tcp(*peer, timeout_ms);
}

SocketError Socket::connect_datagram(const SocketAddress& peer) {
    auto native = native_of(peer);
    if (!valid() || !native) return {SocketErrorKind::system, 0};
    if (::connect(to_native_socket(handle_), native->get(), native->size) != 0)
        return error_from(last_error());
    return {};
}

bool Socket::send_to(std::span<const std::uint8_t> data, const SocketAddress& peer, Deadline deadline) {
    auto native = native_of(peer);
    if (!valid() || !native) return false;
    const NativeSocket s = to_native_socket(handle_);
    for (;;) {
        const auto sent =
            ::sendto(s, reinterpret_cast<const char*>(data.data()), static_cast<IoLength>(data.size()),
                     kSendFlags, native->get(), native->size);
        if (sent >= 0) return static_cast<std::size_t>(sent) == data.size();
        if (!would_block(last_error()) || wait_ready(s, WaitFor::write, deadline) != Readiness::ready) return false;
    }
}

std::optional<Datagram> Socket::receive_from(std::span<std::uint8_t> buffer, Deadline deadline) {
    if (!valid()) return std::nullopt;
    const NativeSocket s = to_native_socket(handle_);
    for (;;) {
        NativeAddress from;
        auto received = ::recvfrom(s, reinterpret_cast<char*>(buffer.data()),
                                   static_cast<IoLength>(buffer.size()), 0, from.get(), &from.size);
        if (received < 0) {
            const int code = last_error();
#ifdef _WIN32
            // Winsock fails a datagram larger than the buffer after filling it; BSD sockets cut it silently.
            if (code == WSAEMSGSIZE) received = static_cast<decltype(received)>(buffer.size());
#endif
            if (received < 0) {
                if (!would_block(code) || wait_ready(s, WaitFor::read, deadline) != Readiness::ready)
                    return std::nullopt;
                continue;
            }
        }
        auto sender = SocketAddress::from_native(&from.storage, static_cast<std::size_t>(from.size));
        if (!sender) continue;
        return Datagram{static_cast<std::size_t>(received), *sender};
    }
}

bool Socket::send_all(std::span<const std::uint8_t> data, Deadline deadline) {
    if (!valid()) return false;
    const NativeSocket s = to_native_socket(handle_);
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - done, INT_MAX);
        const auto sent = ::send(s, reinterpret_cast<const char*>(data.data() + done),
                                 static_cast<IoLength>(chunk), kSendFlags);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent == 0 || !would_block(last_error()) || wait_ready(s, WaitFor::write, deadline) != Readiness::ready)
            return false;
    }
    return true;
}

bool Socket::send_all(std::string_view text, Deadline deadline) {
    return send_all(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), deadline);
}

std::optional<std::size_t> Socket::receive(std::span<std::uint8_t> buffer, Deadline deadline) {
    if (!valid()) return std::nullopt;
    const NativeSocket s = to_native_socket(handle_);
    const std::size_t want = std::min<std::size_t>(buffer.size(), INT_MAX);
    for (;;) {
        const auto received =
            ::recv(s, reinterpret_cast<char*>(buffer.data()), static_cast<IoLength>(want), 0);
        if (received >= 0) return static_cast<std::size_t>(received);
        const int code = last_error();
#ifdef _WIN32
        // A socket shut down for receiving reads as closed, as it does on BSD sockets.
        if (code == WSAESHUTDOWN) return 0;
#endif
        if (!would_block(code) || wait_ready(s, WaitFor::read, deadline) != Readiness::ready) return std::nullopt;
    }
}

std::optional<Socket> Socket::accept(Deadline deadline) {
    if (!valid()) return std::nullopt;
    const NativeSocket s = to_native_socket(handle_);
    for (;;) {
        Socket accepted(accept_native(s));
        if (accepted.valid()) return accepted;
        if (!would_block(last_error()) || wait_ready(s, WaitFor::read, deadline) != Readiness::ready)
            return std::nullopt;
    }
}

std::optional<SocketAddress> Socket::local_address() const {
    if (!valid()) return std::nullopt;
    NativeAddress local;
    if (::getsockname(to_native_socket(handle_), local.get(), &local.size) != 0) return std::nullopt;
    return SocketAddress::from_native(&local.storage, static_cast<std::size_t>(local.size));
}

std::string Socket::local_address_text() const {
    const auto local = local_address();
    return local ? local->address_text() : std::string();
}

} // namespace wirelux
