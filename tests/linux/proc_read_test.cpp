#ifdef __linux__
// The bounded readers on files and links made for the test, and on the kernel's own for this process.
#include "linux/proc_read.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace wirelux::platform {
namespace {

namespace fs = std::filesystem;

class BoundedRead : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("wirelux-proc-read-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const char* name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path dir_;
};

TEST_F(BoundedRead, FilesAreReadWholeOrCutAtTheLimit) {
    std::string bytes(200 * 1024, '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<char>(k * 7 % 251);
    const std::string path = write("table", bytes);

    EXPECT_EQ(read_proc_file(path, bytes.size()), bytes);
    EXPECT_EQ(read_proc_file(path, 1 << 20), bytes);
    EXPECT_EQ(read_proc_file(path, 70 * 1024), bytes.substr(0, 70 * 1024)); // past the first chunk
    EXPECT_EQ(read_proc_file(path, 5), bytes.substr(0, 5));
    EXPECT_EQ(read_proc_file(write("empty", ""), 64), "");
    EXPECT_FALSE(read_proc_file((dir_ / "missing").string(), 64));
    EXPECT_FALSE(read_proc_file(dir_.string(), 64)); // a directory opens but cannot be read
}

TEST_F(BoundedRead, LinksAreReadWholeHoweverLong) {
    const std::string target = "/" + std::string(300, 'a') + "/" + std::string(900, 'b');
    fs::create_symlink(target, dir_ / "long");
    fs::create_symlink("short", dir_ / "short");

    EXPECT_EQ(read_proc_link(AT_FDCWD, (dir_ / "long").c_str()), target);
    const int dir_fd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dir_fd, 0);
    EXPECT_EQ(read_proc_link(dir_fd, "long"), target);
    EXPECT_EQ(read_proc_link(dir_fd, "short"), "short");
    EXPECT_FALSE(read_proc_link(dir_fd, "missing"));
    ::close(dir_fd);
    EXPECT_FALSE(read_proc_link(AT_FDCWD, write("plain", "x").c_str())); // not a link
}

TEST(BoundedReadOfProc, ReadsThisProcesssOwnEntries) {
    const auto cmdline = read_proc_file("/proc/self/cmdline", 1 << 16);
    ASSERT_TRUE(cmdline);
    EXPECT_NE(cmdline->find("wirelux_tests"), std::string::npos);
    const auto exe = read_proc_link(AT_FDCWD, "/proc/self/exe");
    ASSERT_TRUE(exe);
    EXPECT_TRUE(exe->ends_with("/wirelux_tests")) << *exe;
}

} // namespace
} // namespace wirelux::platform
#endif
