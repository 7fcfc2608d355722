// Times the Linux route-table and adapter readers beside iproute2 on the same tables:
//   read_route_table with 100,000 IPv4 routes   vs  ip -4 route show
//   enumerate_adapters with 200 extra links     vs  ip address show
// A run reads the route table once and hands it to the adapter inventory for the gateways, so the
// adapter readers are timed the same way: given the rows read beforehand.
// Run as root. The program moves itself into a new network namespace (with its own sysfs mount, as
// `ip netns exec` does), builds the tables there and leaves nothing behind when it exits.
#include "platform/adapters.h"
#include "platform/routes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRoutes = 100000;
constexpr int kLinks = 200;
constexpr int kRounds = 7;

// A fresh network namespace; the previous one (if this process made it) goes away with its tables.
bool enter_private_namespace() {
    static bool mounts_private = false;
    if (::unshare(CLONE_NEWNET | (mounts_private ? 0 : CLONE_NEWNS)) != 0) {
        std::perror("unshare (run as root)");
        return false;
    }
    if (!mounts_private && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        std::perror("mount");
        return false;
    }
    mounts_private = true;
    // sysfs shows the devices of the namespace that mounts it.
    if (::mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0) {
        std::perror("mount sysfs");
        return false;
    }
    return true;
}

// Runs a command, its output thrown away; true when it exits with 0.
bool run(const std::vector<std::string>& argv, const std::string& stdin_text = {}, bool quiet = false) {
    int in[2];
    if (::pipe(in) != 0) return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        if (quiet) ::dup2(null, 2);
        ::close(in[0]);
        ::close(in[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    std::size_t done = 0;
    while (done < stdin_text.size()) {
        const ssize_t n = ::write(in[1], stdin_text.data() + done, stdin_text.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(in[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Median wall time of a few rounds, in milliseconds.
double median_ms(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, double ours, double theirs, const char* tool) {
    std::printf("%-44s %9.2f ms   %-22s %9.2f ms   ratio %.2f\n", what, ours, tool, theirs, ours / theirs);
}

} // namespace

int main() {
    if (!enter_private_namespace()) return 1;

    const std::string setup = "link set lo up\n"
                              "link add bench-a type veth peer name bench-b\n"
                              "link set bench-a up\nlink set bench-b up\n"
                              "address add 10.0.0.1/24 dev bench-a\n"
                              "route add default via 10.0.0.2\n";
    std::string routes;
    for (int i = 0; i < kRoutes; ++i) {
        const unsigned host = (100u << 24) | (64u << 16) | static_cast<unsigned>(i); // 100.64.0.0/10
        routes += "route add " + std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 255) + "." +
                  std::to_string((host >> 8) & 255) + "." + std::to_string(host & 255) +
                  "/32 via 10.0.0.2 metric " + std::to_string(i % 50) + "\n";
    }
    if (!run({"ip", "-batch", "-"}, setup) || !run({"ip", "-batch", "-"}, routes)) {
        std::fprintf(stderr, "could not build the route table\n");
        return 1;
    }

    std::vector<wirelux::RouteRow> table;
    const double ours_routes = median_ms([&] { table = wirelux::platform::read_route_table(); });
    const std::size_t rows = table.size();
    const double ip_routes = median_ms([] { run({"ip", "-4", "route", "show"}); });
    std::printf("route table: %zu rows read\n", rows);
    report("read_route_table (100,000 IPv4 routes)", ours_routes, ip_routes, "ip -4 route show");

    // The adapter readers take their gateways from the route rows, so they are timed once beside the big
    // table and once on a table of ordinary size.
    const double ours_links_big = median_ms([&] { wirelux::platform::enumerate_adapters(table); });
    const double ip_links_big = median_ms([] { run({"ip", "address", "show"}); });

    if (!enter_private_namespace() || !run({"ip", "-batch", "-"}, setup)) return 1;
    // Dummy links are the natural choice; kernels built without them get ifb links, which are
    // software devices of the same shape.
    std::string links;
    for (int i = 0; i < kLinks; ++i) {
        const std::string name = "bn" + std::to_string(i);
        links += "link add " + name + " type dummy\nlink set " + name + " up\naddress add 10." +
                 std::to_string(1 + i / 250) + "." + std::to_string(i % 250) + ".1/24 dev " + name + "\n";
    }
    const char* kind = "dummy";
    if (!run({"ip", "-batch", "-"}, links, /*quiet=*/true)) {
        kind = "ifb";
        std::string::size_type at;
        while ((at = links.find("type dummy")) != std::string::npos)
            links.replace(at, 10, "type ifb");
        if (!run({"ip", "-batch", "-"}, links, /*quiet=*/true)) {
            std::fprintf(stderr, "could not add the links\n");
            return 1;
        }
    }
    std::size_t adapters = 0;
    const std::vector<wirelux::RouteRow> small_table = wirelux::platform::read_route_table();
    const double ours_links =
        median_ms([&] { adapters = wirelux::platform::enumerate_adapters(small_table).size(); });
    const double ip_links = median_ms([] { run({"ip", "address", "show"}); });
    const double ours_pnp = median_ms([] { wirelux::platform::enumerate_pnp_devices(); });
    std::printf("adapters: %zu enumerated (%d %s links, plus lo and a veth pair)\n", adapters, kLinks, kind);
    report("enumerate_adapters (200 links)", ours_links, ip_links, "ip address show");
    report("enumerate_pnp_devices (200 links)", ours_pnp, ip_links, "ip address show");
    report("enumerate_adapters (3 links, 100,000 routes)", ours_links_big, ip_links_big, "ip address show");
    return 0;
}
