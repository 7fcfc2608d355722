#include "platform/files.h"
#include "run/report_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace wirelux {
namespace {

TEST(ReportFile, StampAndNameAreZeroPadded) {
    const platform::LocalTime t{2026, 3, 7, 9, 5, 1};
    EXPECT_EQ(report_stamp(t), "20260307-090501");
    EXPECT_EQ(report_stamp(t).size(), 15u);
    EXPECT_EQ(report_file_name(t), "wirelux-report-20260307-090501.html");
    EXPECT_EQ(json_file_name(t), "wirelux-report-20260307-090501.json");
}

class InTempDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("wirelux-report-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path previous_, dir_;
};

TEST_F(InTempDirectory, WritesByteOrderMarkAndPageAndNamesThePath) {
    const platform::LocalTime t{2026, 12, 8, 23, 59, 58};
    const ReportWrite w = write_report_file("<html>中</html>", t);
    ASSERT_TRUE(w.ok) << w.message;
    const auto expected_path = platform::join_path(*platform::current_directory(), "wirelux-report-20261208-235958.html");
    EXPECT_EQ(w.path, expected_path);
    EXPECT_EQ(w.message, "\n  HTML report -> " + expected_path + "\n");
    std::ifstream in(dir_ / "wirelux-report-20261208-235958.html", std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "\xEF\xBB\xBF<html>中</html>");
}

TEST_F(InTempDirectory, TheJsonFactsGoBesideTheReportUnderItsStamp) {
    const platform::LocalTime t{2026, 12, 8, 23, 59, 58};
    const std::string dir = *platform::current_directory();
    const ReportWrite report = write_report_file("page", t, ReportValues::redacted);
    EXPECT_EQ(report.message, "\n  HTML report (redacted) -> " + report.path + "\n");
    const ReportWrite json = write_json_file("{}\n", t);
    ASSERT_TRUE(json.ok) << json.message;
    EXPECT_EQ(json.path, platform::join_path(dir, "wirelux-report-20261208-235958.json"));
    EXPECT_EQ(json.message, "  JSON facts -> " + json.path + "\n");
    std::ifstream in(dir_ / "wirelux-report-20261208-235958.json", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "{}\n")
        << "no byte-order mark in front of JSON";
}

TEST_F(InTempDirectory, RewritesAnExistingFileWhole) {
    const platform::LocalTime t{2026, 1, 2, 3, 4, 5};
    ASSERT_TRUE(write_report_file(std::string(5000, 'x'), t).ok);
    ASSERT_TRUE(write_report_file("short", t).ok);
    EXPECT_EQ(std::filesystem::file_size(dir_ / report_file_name(t)), 3u + 5u);
}

TEST_F(InTempDirectory, UnwritableTargetGivesTheFailureLine) {
    const platform::LocalTime t{2026, 1, 2, 3, 4, 5};
    // A directory where the file should go makes the create fail on every platform.
    std::filesystem::create_directory(dir_ / report_file_name(t));
    const ReportWrite w = write_report_file("page", t);
    EXPECT_FALSE(w.ok);
    EXPECT_TRUE(w.message.starts_with("\n  failed to write report: ")) << w.message;
    EXPECT_GT(w.message.size(), std::string("\n  failed to write report: \n").size());
    EXPECT_TRUE(w.message.ends_with("\n"));

    std::filesystem::create_directory(dir_ / json_file_name(t));
    const ReportWrite json = write_json_file("{}", t);
    EXPECT_FALSE(json.ok);
    EXPECT_TRUE(json.message.starts_with("  failed to write JSON: ")) << json.message;
    EXPECT_GT(json.message.size(), std::string("  failed to write JSON: \n").size());
}

} // namespace
} // namespace wirelux
