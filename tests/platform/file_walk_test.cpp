// The file walk on a real directory tree, made by the test in the system's temporary folder (under
// Wine this runs through FindFirstFileExW on the Linux file system).
#include "platform/file_walk.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace wirelux::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileNames, ExtensionAndStemAreSplitAtTheLastDot) {
    EXPECT_EQ(file_extension("Clash Verge.lnk"), "lnk");
    EXPECT_EQ(file_stem("Clash Verge.lnk"), "Clash Verge");
    EXPECT_EQ(file_stem("v2rayN.backup.lnk"), "v2rayN.backup");
    EXPECT_EQ(file_extension("README"), "");
    EXPECT_EQ(file_stem("README"), "README");

    const std::vector<std::string> config = {"yaml", "yml", "json"};
    EXPECT_TRUE(has_listed_extension("config.YAML", config));
    EXPECT_TRUE(has_listed_extension("a.b.Json", config));
    EXPECT_TRUE(has_listed_extension(".yaml", config));
    EXPECT_FALSE(has_listed_extension("yaml", config)); // no dot, no extension
    EXPECT_FALSE(has_listed_extension("config.yaml.bak", config));
    EXPECT_FALSE(has_listed_extension("config.", config));
    EXPECT_FALSE(has_listed_extension("config.yamlx", config));
}

class FileWalk : public ::testing::Test {
protected:
    void SetUp() override {
        root_ =
            fs::temp_directory_path() /
            ("wirelux-walk-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        fs::create_directories(root_ / "a" / "b" / "c");
        fs::create_directories(root_ / "Clash Verge");
        write(root_ / "top.yaml", "top");
        write(root_ / "top.exe", "binary");
        write(root_ / "a" / "one.JSON", "one");
        write(root_ / "a" / "b" / "two.yml", "two");
        write(root_ / "a" / "b" / "c" / "three.yaml", "three");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    static void write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string root() const { return root_.string(); }
    std::vector<std::string> walked(int depth) const {
        std::vector<std::string> names;
        for (const FoundFile& f : walk_files(root(), depth, {"yaml", "yml", "json"})) {
            EXPECT_EQ(f.path.substr(f.path.size() - f.name.size()), f.name);
            EXPECT_TRUE(read_file_prefix(f.path, 100)) << f.path;
            names.push_back(f.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root_;
};

TEST_F(FileWalk, DepthCountsTheFolderItselfAsOne) {
    EXPECT_TRUE(walked(0).empty());
    EXPECT_EQ(walked(1), std::vector<std::string>{"top.yaml"});
    EXPECT_EQ(walked(2), (std::vector<std::string>{"one.JSON", "top.yaml"}));
    EXPECT_EQ(walked(4), (std::vector<std::string>{"one.JSON", "three.yaml", "top.yaml", "two.yml"}));
}

TEST_F(FileWalk, SubdirectoriesAreListedByName) {
    auto names = list_subdirectories(root());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Clash Verge", "a"}));
    EXPECT_TRUE(list_subdirectories(join_path(root(), "missing")).empty());
    EXPECT_TRUE(list_subdirectories("").empty()); // never the working directory
    EXPECT_TRUE(walk_files(join_path(root(), "missing"), 2, {"yaml"}).empty());
}

TEST_F(FileWalk, ReadsStopAtTheLimit) {
    write(root_ / "big.txt", std::string(200'000, 'x') + "127.0.0.1:7890");
    const auto all = read_file_prefix((root_ / "big.txt").string(), 1 << 20);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 200'014u);
    const auto part = read_file_prefix((root_ / "big.txt").string(), 70'000);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->size(), 70'000u);
    EXPECT_FALSE(read_file_prefix((root_ / "nothing.txt").string(), 100));
    EXPECT_FALSE(read_file_prefix((root_ / "a").string(), 100)); // a directory is not a file
}

#ifndef _WIN32
TEST_F(FileWalk, LinkedDirectoriesAreNotEnteredAndFifosNotRead) {
    fs::create_directory_symlink(root_, root_ / "a" / "loop");
    fs::create_symlink(root_ / "top.yaml", root_ / "linked.yaml");
    ASSERT_EQ(::mkfifo((root_ / "pipe.yaml").c_str(), 0600), 0);
    EXPECT_EQ(walked(6),
              (std::vector<std::string>{"linked.yaml", "one.JSON", "three.yaml", "top.yaml", "two.yml"}));
    EXPECT_FALSE(read_file_prefix((root_ / "pipe.yaml").string(), 100)); // returns at once, no writer needed
}
#endif

} // namespace
} // namespace wirelux::platform
