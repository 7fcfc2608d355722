#pragma once
// A small TCP server on a loopback address, run by a test on a thread of its own. It accepts one
// connection at a time and hands each to the test's handler; it stops and joins when destroyed.

#include "platform/socket.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace wirelux::testing {

// A loopback address of the test's own. Wine reports a datagram from 127.0.0.x as coming from
// 127.0.0.1, so the Windows suite, which runs one test at a time in one process, shares that address.
inline std::string own_loopback(int host) {
#ifdef _WIN32
    (void)host;
    return "127.0.0.1";
#else
    return "127.0.0." + std::to_string(host);
#endif
}

struct Connection {
    Socket socket;
    const std::atomic<bool>& stopping;

    // Reads until the bytes end with `terminator` (an empty one: until `count` bytes), the peer closes
    // or a second passes.
    std::string read_until(std::string_view terminator, std::size_t count = 0) {
        std::string got;
        const Deadline deadline = deadline_after(1000);
        std::vector<std::uint8_t> buffer(1);
        while (!(terminator.empty() ? got.size() >= count : got.ends_with(terminator))) {
            const auto n = socket.receive(buffer, deadline);
            if (!n || *n == 0) break;
            got.push_back(static_cast<char>(buffer[0]));
        }
        return got;
    }
    std::string read_request() { return read_until("\r\n\r\n"); }
    bool send(std::string_view bytes) { return socket.send_all(bytes, deadline_after(5000)); }
    // Sleeps in small steps so that a stopping server does not wait for the whole pause.
    void pause(unsigned ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Keeps the connection open until the peer closes it or the server stops.
    void hold() {
        std::vector<std::uint8_t> buffer(4096);
        while (!stopping) {
            const auto n = socket.receive(buffer, deadline_after(20));
            if (n && *n == 0) return;
        }
    }
};

class LoopbackServer {
public:
    // The handler gets the accepted connection; the received request is its to read.
    using Handler = std::function<void(Connection&)>;

    explicit LoopbackServer(Handler handler, const char* address = "127.0.0.1")
        : handler_(std::move(handler)) {
        auto listener = Socket::listen_tcp(*SocketAddress::parse(address));
        if (!listener) return;
        port_ = listener->local_address()->port();
        thread_ = std::thread([this, l = std::move(*listener)]() mutable { serve(l); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool listening() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    int connections() const { return connections_; }

private:
    void serve(Socket& listener) {
        while (!stopping_) {
            auto accepted = listener.accept(deadline_after(20));
            if (!accepted) continue;
            ++connections_;
            Connection connection{std::move(*accepted), stopping_};
            handler_(connection);
        }
    }

    Handler handler_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::uint16_t port_ = 0;
    std::thread thread_;
};

// A port on which nothing listens (just released by a listener of its own).
inline std::uint16_t closed_port(const char* address = "127.0.0.1") {
    auto listener = Socket::listen_tcp(*SocketAddress::parse(address));
    return listener ? listener->local_address()->port() : 0;
}

} // namespace wirelux::testing
