// The systemd service reader on a slice directory the test lays out like the cgroup file system.
#ifdef __linux__

#include "linux/service_units.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace wirelux::platform {
namespace {

namespace fs = std::filesystem;

class ServiceUnits : public ::testing::Test {
protected:
    void SetUp() override {
        slice_ = fs::temp_directory_path() / ("wirelux-slice-" + std::to_string(::getpid()));
        std::error_code ignored;
        fs::remove_all(slice_, ignored);
        fs::create_directories(slice_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(slice_, ignored);
    }
    void unit(const std::string& name, const std::string& procs) {
        fs::create_directories(slice_ / name);
        std::ofstream(slice_ / name / "cgroup.procs") << procs;
    }
    fs::path slice_;
};

TEST_F(ServiceUnits, UnitsWithAProcessInNameOrderWithTheirExecutable) {
    const std::string self = std::to_string(::getpid());
    unit("wg-quick@wg0.service", self + "\n");
    unit("cron.service", "999999999\n" + self + "\n"); // first pid has ended: no binary path, still running
    unit("stopped.service", "");
    unit("user.slice", self + "\n");
    unit("broken.service", "not a pid\n");
    fs::create_directories(slice_ / "nofile.service");

    const auto units = service_units_under(slice_.string());
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].name, "cron.service");
    EXPECT_EQ(units[0].binary_path, "");
    EXPECT_EQ(units[1].name, "wg-quick@wg0.service");
    EXPECT_EQ(units[1].display_name, "wg-quick@wg0.service");
    EXPECT_EQ(units[1].state, "Running");
    EXPECT_EQ(units[1].binary_path, fs::read_symlink("/proc/self/exe").string());
}

TEST_F(ServiceUnits, MissingSliceGivesNothing) {
    EXPECT_TRUE(service_units_under((slice_ / "absent").string()).empty());
}

} // namespace
} // namespace wirelux::platform

#endif
