#pragma once
// One route-netlink socket: sends a request and reads its answer within a bounded time.

#include <cstddef> // fd.h uses std::size_t without including it

#include "linux/unique_fd.h"
#include "linux/netlink_parse.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wirelux::platform::netlink {

// How long one exchange may take before its answer is abandoned.
inline constexpr std::chrono::milliseconds kExchangeBudget{5000};

struct ExchangeResult {
    bool complete = false; // the answer came to its end (it may still carry an error)
    int error = 0;         // errno of the exchange or the kernel's answer, 0 when none
};

class Socket {
public:
    // A socket bound to the route-netlink family; absent when the kernel refuses one.
    static std::optional<Socket> open();

    // Sends the request (its sequence number is set here) and hands each message of the answer to
    // on_message, until the answer ends, a datagram is malformed or truncated, or the budget runs out.
    ExchangeResult exchange(std::string request, const std::function<void(const Message&)>& on_message,
                            std::chrono::milliseconds budget = kExchangeBudget);

private:
    explicit Socket(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
    std::uint32_t next_seq_ = 1;
    std::vector<char> buffer_;
};

} // namespace wirelux::platform::netlink
