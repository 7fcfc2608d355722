// The systemd service reader on a cgroup tree the test lays out the way systemd lays it out.
#ifdef __linux__

#include "linux/service_units.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wirelux::platform {
namespace {

namespace fs = std::filesystem;

class ServiceUnits : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("wirelux-cgroup-" + std::to_string(::getpid()));
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        fs::create_directories(root_);
    }
    void TearDown() override {
        if (child_ > 0) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    void group(const std::string& path, const std::string& procs) {
        fs::create_directories(root_ / path);
        std::ofstream(root_ / path / "cgroup.procs") << procs;
    }
    pid_t sleeper() {
        char path[] = "/bin/sleep";
        char seconds[] = "60";
        char* argv[] = {path, seconds, nullptr};
        if (::posix_spawn(&child_, path, nullptr, nullptr, argv, environ) != 0) child_ = -1;
        return child_;
    }
    fs::path root_;
    pid_t child_ = -1;
};

TEST_F(ServiceUnits, UnitsAnywhereInTheSystemAndUserSlicesWithTheirFirstProcess) {
    const std::string self = std::to_string(::getpid()) + "\n";
    const pid_t manager = sleeper();
    ASSERT_GT(manager, 0);
    const std::string manager_procs = std::to_string(manager) + "\n";

    group("init.scope", self); // not a service
    group("system.slice", "");
    group("system.slice/cron.service", "999999999\n" + self); // first pid has ended: no binary path
    group("system.slice/stopped.service", "");
    group("system.slice/broken.service", "not a pid\n");
    fs::create_directories(root_ / "system.slice/nofile.service");
    group(R"(system.slice/system-openvpn\x2dclient.slice/openvpn-client@work.service)", self);
    group(R"(system.slice/system-wg\x2dquick.slice/wg-quick@wg0.service)", ""); // a oneshot: no process
    group("system.slice/docker.service", ""); // delegated: the processes sit in its own sub-groups
    group("system.slice/docker.service/supervisor", manager_procs);
    fs::create_directory_symlink("..", root_ / "system.slice/docker.service/loop.service");
    group("user.slice/user-1000.slice/session-2.scope", self);
    group("user.slice/user-1000.slice/user@1000.service", "");
    group("user.slice/user-1000.slice/user@1000.service/app.slice/tailscale-systray.service", self);
    group("user.slice/user-1000.slice/user@1000.service/init.scope", manager_procs);
    group("user.slice/user-1001.slice/user@1001.service/app.slice/tailscale-systray.service", self);

    const std::string test_binary = fs::read_symlink("/proc/self/exe").string();
    const std::string sleep_binary = fs::canonical("/bin/sleep").string();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"cron.service", ""},
        {"docker.service", sleep_binary},
        {"openvpn-client@work.service", test_binary},
        {"tailscale-systray.service", test_binary},
        {"user@1000.service", sleep_binary}, // the manager in its own init.scope, not a unit it holds
        {"user@1001.service", test_binary},  // without one, the first unit it holds
    };
    std::vector<std::pair<std::string, std::string>> got;
    for (const ServiceInfo& unit : service_units_in(root_.string())) {
        got.emplace_back(unit.name, unit.binary_path);
        EXPECT_EQ(unit.display_name, unit.name);
        EXPECT_EQ(unit.state, "Running");
    }
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(service_units_in((root_ / "absent").string()).empty());
}

} // namespace
} // namespace wirelux::platform

#endif
