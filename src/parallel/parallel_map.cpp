#include "parallel/parallel_map.h"

#include "platform/process_env.h"

#include <algorithm>
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
    } catch (...) {
        return false; // no thread (std::system_error) or no memory for its state (std::bad_alloc)
    }
}

unsigned run_workers(unsigned threads, const std::function<void()>& body, const ThreadLauncher& launch) {
    std::vector<std::thread> started;
    started.reserve(threads);
    for (unsigned k = 0; k < threads; ++k) {
        // The ones already running take over the remaining inputs. A launcher that throws counts as
        // one that failed: leaving here with running threads unjoined would end the process.
        bool launched = false;
        try {
            launched = launch(started, body);
        } catch (...) {
        }
        if (!launched) break;
    }
    const unsigned ran = started.empty() ? 1U : static_cast<unsigned>(started.size());
    if (started.empty()) body();
    for (std::thread& t : started) t.join();
    return ran;
}

} // namespace detail
} // namespace wirelux
