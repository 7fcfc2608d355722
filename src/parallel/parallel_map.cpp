#include "parallel/parallel_map.h"

#include "platform/process_env.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace wirelux {

unsigned worker_count_for(unsigned logical_processors) {
    const unsigned p = logical_processors == 0 ? 4 : logical_processors;
    return std::min(std::max(2 * p, 4U), 24U);
}

unsigned worker_count() {
    static const unsigned count = worker_count_for(platform::logical_processor_count());
    return count;
}

namespace detail {

bool launch_std_thread(std::vector<std::thread>& threads, const std::function<void()>& body) {
    try {
        threads.emplace_back(body);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

unsigned run_workers(unsigned threads, const std::function<void()>& body, const ThreadLauncher& launch) {
    std::vector<std::thread> started;
    started.reserve(threads);
    for (unsigned k = 0; k < threads; ++k) {
        if (!launch(started, body)) break; // the ones already running take over the remaining inputs
    }
    const unsigned ran = started.empty() ? 1U : static_cast<unsigned>(started.size());
    if (started.empty()) body();
    for (std::thread& t : started) t.join();
    return ran;
}

} // namespace detail
} // namespace wirelux
