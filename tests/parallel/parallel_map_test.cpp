#include "parallel/parallel_map.h"
#include "parallel/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <set>
#include <thread>

namespace wirelux {
namespace {

class ParallelMap : public ::testing::Test {
protected:
    void SetUp() override { progress_init(false); }
};

TEST(WorkerCount, FloorOfFourAndCeilingOfTwentyFour) {
    EXPECT_EQ(worker_count_for(1), 4u);
    EXPECT_EQ(worker_count_for(2), 4u);
    EXPECT_EQ(worker_count_for(3), 6u);
    EXPECT_EQ(worker_count_for(12), 24u);
    EXPECT_EQ(worker_count_for(16), 24u);
    EXPECT_EQ(worker_count_for(0), 8u); // unknown counts as four processors
    EXPECT_GE(worker_count(), 4u);
    EXPECT_LE(worker_count(), 24u);
}

TEST_F(ParallelMap, ResultsComeBackInInputOrderWhateverTheCompletionOrder) {
    std::vector<int> inputs;
    for (int i = 0; i < 12; ++i) inputs.push_back(i);
    std::atomic<bool> last_done{false};
    std::atomic<int> finished{0};
    std::vector<int> completion_order(inputs.size(), -1);
    const auto results = parallel_map(
        inputs,
        [&](const int& i) {
            // The first input holds its worker until the last one has finished elsewhere.
            if (i == 0) {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!last_done.load() && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            completion_order[static_cast<std::size_t>(i)] = finished.fetch_add(1);
            if (i == 11) last_done.store(true);
            return i * i;
        },
        "order test");
    ASSERT_EQ(results.size(), inputs.size());
    for (int i = 0; i < 12; ++i) EXPECT_EQ(results[static_cast<std::size_t>(i)], i * i);
    EXPECT_GT(completion_order[0], completion_order[11]); // the scenario really finished out of order
}

TEST_F(ParallelMap, ProgressTotalAndDoneBothGrowByTheTaskCount) {
    const ProgressCounters before = progress_counters();
    const std::vector<std::string> inputs{"a", "b", "c", "d", "e"};
    const auto results = parallel_map(inputs, [](const std::string& s) { return s + "!"; }, "count test");
    const ProgressCounters after = progress_counters();
    EXPECT_EQ(after.total - before.total, 5u);
    EXPECT_EQ(after.done - before.done, 5u);
    EXPECT_EQ(results.back(), "e!");
}

TEST_F(ParallelMap, ZeroInputsStartNothingAndCountNothing) {
    const ProgressCounters before = progress_counters();
    int launches = 0;
    const auto counting = [&](std::vector<std::thread>& threads, const std::function<void()>& body) {
        ++launches;
        return detail::launch_std_thread(threads, body);
    };
    const auto results = parallel_map(std::vector<int>{}, [](const int& i) { return i; }, "empty", counting);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(launches, 0);
    const ProgressCounters after = progress_counters();
    EXPECT_EQ(after.total, before.total);
    EXPECT_EQ(after.done, before.done);
}

TEST_F(ParallelMap, NeverMoreWorkersThanInputs) {
    int launches = 0;
    const auto counting = [&](std::vector<std::thread>& threads, const std::function<void()>& body) {
        ++launches;
        return detail::launch_std_thread(threads, body);
    };
    parallel_map(std::vector<int>{7}, [](const int& i) { return i; }, "one", counting);
    EXPECT_EQ(launches, 1);
    launches = 0;
    parallel_map(std::vector<int>(100, 1), [](const int& i) { return i; }, "many", counting);
    EXPECT_EQ(launches, static_cast<int>(worker_count()));
}

TEST_F(ParallelMap, WorkersRunConcurrently) {
    // Four tasks that each wait for all four to have started can only finish when they overlap.
    std::atomic<int> started{0};
    const auto results = parallel_map(
        std::vector<int>{0, 1, 2, 3},
        [&](const int&) {
            started.fetch_add(1);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (started.load() < 4 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return started.load();
        },
        "overlap");
    for (int seen : results) EXPECT_EQ(seen, 4);
}

TEST_F(ParallelMap, ThreadsThatCannotStartLeaveNoResultMissing) {
    std::set<std::thread::id> runners;
    std::mutex lock;
    const auto task = [&](const int& i) {
        const std::lock_guard guard(lock);
        runners.insert(std::this_thread::get_id());
        return i + 1;
    };
    const auto none = [](std::vector<std::thread>&, const std::function<void()>&) { return false; };
    const auto results = parallel_map(std::vector<int>{1, 2, 3, 4, 5, 6}, task, "no threads", none);
    EXPECT_EQ(results, (std::vector<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(runners, std::set<std::thread::id>{std::this_thread::get_id()});

    int allowed = 1;
    const auto only_one = [&](std::vector<std::thread>& threads, const std::function<void()>& body) {
        return allowed-- > 0 && detail::launch_std_thread(threads, body);
    };
    EXPECT_EQ(parallel_map(std::vector<int>{1, 2, 3, 4, 5, 6}, task, "one thread", only_one),
              (std::vector<int>{2, 3, 4, 5, 6, 7}));

    // Memory running out while a thread is started must not leave the started ones unjoined.
    allowed = 1;
    const auto then_no_memory = [&](std::vector<std::thread>& threads, const std::function<void()>& body) {
        if (allowed-- <= 0) throw std::bad_alloc();
        return detail::launch_std_thread(threads, body);
    };
    EXPECT_EQ(parallel_map(std::vector<int>{1, 2, 3, 4, 5, 6}, task, "out of memory", then_no_memory),
              (std::vector<int>{2, 3, 4, 5, 6, 7}));
}

TEST_F(ParallelMap, ATaskThatThrowsIsAnInternalErrorNotAMissingResult) {
    const auto task = [](const int& i) {
        if (i == 2) throw std::runtime_error("boom");
        return i;
    };
    try {
        parallel_map(std::vector<int>{1, 2, 3}, task, "throwing");
        FAIL() << "expected an internal error";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "pmap slot");
    }
}

} // namespace
} // namespace wirelux
