#include "parallel/progress.h"
#include "parallel/timing.h"
#include "run/run_driver.h"
#include "util/utf.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TEST(ProgressLine, MatchesTheDocumentedShape) {
    const std::string line = progress_line(3, 20, "ping cache");
    const std::string expected_start = "  [###---------------------]  15%  ping cache";
    ASSERT_EQ(line.substr(0, expected_start.size()), expected_start);
    EXPECT_EQ(line.size(), 100u);
    EXPECT_EQ(line.find_first_not_of(' ', expected_start.size()), std::string::npos);
}

TEST(ProgressLine, ZeroTotalCountsAsOneAndPercentIsCapped) {
    EXPECT_EQ(progress_line(0, 0, "x").substr(0, 36), "  [------------------------]   0%  x");
    EXPECT_EQ(progress_line(1, 0, "x").substr(0, 36), "  [########################] 100%  x");
    EXPECT_EQ(progress_line(30, 14, "x").substr(0, 36), "  [########################] 100%  x");
}

TEST(ProgressLine, PadsByCharactersAndKeepsLongLabels) {
    const std::string cjk = progress_line(1, 14, "中文标签");
    EXPECT_EQ(utf8_length(cjk), 100u);
    EXPECT_GT(cjk.size(), 100u);
    const std::string long_label(120, 'x');
    EXPECT_EQ(progress_line(1, 14, long_label).size(), 35u + 120u);
}

TEST(TimingLine, AlignsLabelAndNumbers) {
    EXPECT_EQ(timing_line("adapters+pnp+routes", 0, 0),
              "  [timing] adapters+pnp+routes              0 ms   (total       0 ms)\n");
    EXPECT_EQ(timing_line("collect", 1234, 98765),
              "  [timing] collect                       1234 ms   (total   98765 ms)\n");
    EXPECT_EQ(timing_line("a-label-longer-than-26-columns", 1, 2),
              "  [timing] a-label-longer-than-26-columns       1 ms   (total       2 ms)\n");
}

TEST(DecideProgress, SwitchAnywhereTurnsTheMeterOff) {
    EXPECT_FALSE(decide_progress({"wirelux", "--no-progress"}, false, true, true));
    EXPECT_FALSE(decide_progress({"--no-progress"}, false, true, true)); // even as the program name
    EXPECT_FALSE(decide_progress({"wirelux", "--no-progress", "x", "y"}, false, true, false));
    EXPECT_TRUE(decide_progress({"wirelux", "--NO-PROGRESS"}, false, true, false)); // exact match only
}

TEST(DecideProgress, EnvironmentAndTerminal) {
    EXPECT_FALSE(decide_progress({"wirelux"}, true, true, true));
    EXPECT_TRUE(decide_progress({"wirelux"}, false, true, false));
    EXPECT_FALSE(decide_progress({"wirelux"}, false, false, false));
    EXPECT_TRUE(decide_progress({"wirelux"}, false, false, true));
}

} // namespace
} // namespace wirelux
