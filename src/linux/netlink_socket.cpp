#include "linux/netlink_socket.h"

#include <cerrno>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>

namespace wirelux::platform::netlink {

namespace {

// The kernel sends dump datagrams of at most 32 KiB; twice that leaves room to spare.
constexpr std::size_t kReceiveBytes = 64 * 1024;

} // namespace

std::optional<Socket> Socket::open() {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd.valid()) return std::nullopt;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return std::nullopt;
    return Socket(std::move(fd));
}

ExchangeResult Socket::exchange(std::string request, const std::function<void(const Message&)>& on_message,
                                std::chrono::milliseconds budget) {
    const std::uint32_t seq = next_seq_++;
    set_sequence(request, seq);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent;
    do {
        sent = ::sendto(fd_.get(), request.data(), request.size(), 0,
                        reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(request.size())) return {false, sent < 0 ? errno : EIO};

    buffer_.resize(kReceiveBytes);
    const auto deadline = std::chrono::steady_clock::now() + budget;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {false, ETIMEDOUT};
        pollfd p{fd_.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return {false, errno};
        if (ready == 0) return {false, ETIMEDOUT};

        sockaddr_nl from{};
        socklen_t from_size = sizeof from;
        // MSG_TRUNC makes the call report the datagram's full size, so a cut datagram is noticed.
        const ssize_t n = ::recvfrom(fd_.get(), buffer_.data(), buffer_.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &from_size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) return {false, errno};
        if (static_cast<std::size_t>(n) > buffer_.size()) return {false, EMSGSIZE};
        if (from.nl_pid != 0) continue; // only the kernel answers requests

        const DatagramScan scan =
            scan_datagram(std::string_view(buffer_.data(), static_cast<std::size_t>(n)), seq);
        for (const Message& m : scan.messages)
            on_message(m);
        if (scan.malformed) return {false, EBADMSG};
        if (scan.finished) return {true, scan.error};
    }
}

} // namespace wirelux::platform::netlink
