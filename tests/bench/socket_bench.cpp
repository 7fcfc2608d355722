// Times the Linux socket snapshot (TCP tables plus owning processes) on a namespace that holds about
// 10,000 TCP sockets, beside `ss -tanp` on the same sockets, and the platform-free merge of three
// snapshot-sized reads.
//
// Run as root (it creates its own network namespace, loopback only):
//   build/linux/tests/bench/wirelux_socket_bench [connections]
#include "facts/socket_snapshots.h"
#include "platform/proc_net.h"
#include "platform/sockets.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListenersPerFamily = 100;
constexpr int kDefaultConnections = 4900; // 2 x 100 listeners + 2 x 4900 ends = 10,000 sockets
constexpr int kRuns = 7;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "socket_bench: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

// Owns every descriptor the benchmark opens.
struct Fds {
    std::vector<int> list;
    ~Fds() {
        for (const int fd : list)
            ::close(fd);
    }
    int add(int fd) {
        if (fd < 0) fail("socket");
        list.push_back(fd);
        return fd;
    }
};

void enter_own_namespace() {
    if (::unshare(CLONE_NEWNET) != 0) fail("unshare(CLONE_NEWNET) (run as root)");
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    if (fd < 0 || ::ioctl(fd, SIOCGIFFLAGS, &request) != 0) fail("SIOCGIFFLAGS");
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    if (::ioctl(fd, SIOCSIFFLAGS, &request) != 0) fail("SIOCSIFFLAGS");
    ::close(fd);
}

void raise_fd_limit(rlim_t wanted) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur >= wanted) return;
    limit.rlim_cur = wanted;
    limit.rlim_max = std::max(limit.rlim_max, wanted);
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) fail("setrlimit(RLIMIT_NOFILE)");
}

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
};

Endpoint loopback(int family) {
    Endpoint e;
    if (family == AF_INET) {
        auto* a = reinterpret_cast<sockaddr_in*>(&e.address);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        e.length = sizeof(sockaddr_in);
    } else {
        auto* a = reinterpret_cast<sockaddr_in6*>(&e.address);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        e.length = sizeof(sockaddr_in6);
    }
    return e;
}

// Listeners on 127.0.0.1 and ::1, and connections spread over them, each accepted.
void create_sockets(Fds& fds, int connections) {
    std::vector<std::pair<int, Endpoint>> listeners;
    for (const int family : {AF_INET, AF_INET6}) {
        for (int k = 0; k < kListenersPerFamily; ++k) {
            const int fd = fds.add(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
            Endpoint e = loopback(family);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&e.address), e.length) != 0) fail("bind");
            if (::listen(fd, 128) != 0) fail("listen");
            e.length = sizeof e.address;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&e.address), &e.length);
            listeners.emplace_back(fd, e);
        }
    }
    for (int k = 0; k < connections; ++k) {
        const auto& [listener, target] = listeners[static_cast<std::size_t>(k) % listeners.size()];
        const int client = fds.add(::socket(target.address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (::connect(client, reinterpret_cast<const sockaddr*>(&target.address), target.length) != 0)
            fail("connect");
        fds.add(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    }
}

template <class F> double median_ms(F&& run) {
    std::vector<double> times;
    for (int k = 0; k < kRuns; ++k) {
        const auto start = Clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void run_ss(const char* options) {
    const pid_t child = ::fork();
    if (child < 0) fail("fork");
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execlp("ss", "ss", options, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "socket_bench: ss %s failed\n", options);
        std::exit(1);
    }
}

std::string slurp(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Three reads of the same size as the live table, with a little churn between them.
wirelux::SocketReaders synthetic_readers(std::size_t rows) {
    auto make = [rows](int read) {
        std::vector<wirelux::TcpRow> list;
        list.reserve(rows);
        for (std::size_t k = 0; k < rows; ++k) {
            wirelux::TcpRow row;
            row.local_address = k % 2 ? "::1" : "127.0.0.1";
            row.remote_address = row.local_address;
            row.local_port =
                static_cast<std::uint16_t>(1024 + (k + static_cast<std::size_t>(read) * 50) % 60000);
            row.remote_port = static_cast<std::uint16_t>(40000 + k % 20000);
            row.state = 5;
            row.pid = 1000 + static_cast<std::uint32_t>(k % 300);
            list.push_back(std::move(row));
        }
        return list;
    };
    auto reads = std::make_shared<std::vector<std::vector<wirelux::TcpRow>>>();
    for (int read = 0; read < wirelux::kTcpReads; ++read)
        reads->push_back(make(read));
    auto next = std::make_shared<std::size_t>(0);
    return {[reads, next] { return (*reads)[(*next)++ % reads->size()]; },
            [] { return std::vector<wirelux::UdpRow>{}; }, [](std::chrono::milliseconds) {}};
}

} // namespace

int main(int argc, char** argv) {
    const int connections = argc > 1 ? std::atoi(argv[1]) : kDefaultConnections;
    if (connections <= 0) {
        std::fprintf(stderr, "usage: %s [connections]\n", argv[0]);
        return 2;
    }
    raise_fd_limit(static_cast<rlim_t>(2 * connections + 2 * kListenersPerFamily + 256));
    enter_own_namespace();

    Fds fds;
    create_sockets(fds, connections);
    const std::uint32_t self = static_cast<std::uint32_t>(::getpid());

    const std::vector<wirelux::TcpRow> rows = wirelux::platform::read_tcp_table();
    const auto owned =
        std::count_if(rows.begin(), rows.end(), [&](const wirelux::TcpRow& r) { return r.pid == self; });
    std::printf("sockets in the namespace: %zu TCP rows (%ld owned by this process), %zu processes scanned\n",
                rows.size(), static_cast<long>(owned), wirelux::platform::read_process_list().size());

    const std::string tcp_text = slurp("/proc/self/net/tcp");
    const std::string tcp6_text = slurp("/proc/self/net/tcp6");
    const double parse = median_ms([&] {
        wirelux::platform::parse_proc_net_sockets(tcp_text, false);
        wirelux::platform::parse_proc_net_sockets(tcp6_text, true);
    });
    const double read_text = median_ms([] {
        slurp("/proc/self/net/tcp");
        slurp("/proc/self/net/tcp6");
    });
    const double one_read = median_ms([] { wirelux::platform::read_tcp_table(); });
    const double three_reads = median_ms([] {
        wirelux::FactSnapshot s;
        auto readers = wirelux::live_socket_readers();
        readers.sleep = [](std::chrono::milliseconds) {}; // the 2 x 180 ms of waiting is not work
        readers.read_udp = [] { return std::vector<wirelux::UdpRow>{}; };
        wirelux::collect_socket_snapshots(s, readers);
    });
    const double merge = median_ms([&] {
        wirelux::FactSnapshot s;
        wirelux::collect_socket_snapshots(s, synthetic_readers(rows.size()));
    });
    const double ss_tanp = median_ms([] { run_ss("-tanp"); });
    const double ss_tan = median_ms([] { run_ss("-tan"); });

    std::printf("median of %d runs, milliseconds:\n", kRuns);
    std::printf("  parse /proc/net/tcp + tcp6 text (%zu + %zu bytes)     %8.2f\n", tcp_text.size(),
                tcp6_text.size(), parse);
    std::printf("  read the /proc/net/tcp + tcp6 text                    %8.2f\n", read_text);
    std::printf("  one TCP read with owners (read_tcp_table)             %8.2f\n", one_read);
    std::printf("  three TCP reads merged, sleeps left out               %8.2f\n", three_reads);
    std::printf("  merge of three synthetic %zu-row reads                %8.2f\n", rows.size(), merge);
    std::printf("  ss -tanp (same sockets, with owners)                  %8.2f\n", ss_tanp);
    std::printf("  ss -tan  (same sockets, no owners)                    %8.2f\n", ss_tan);
    return 0;
}
