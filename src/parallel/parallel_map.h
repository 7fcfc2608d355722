#pragma once
// The parallel task map: runs one task per input on a bounded pool of short-lived threads and returns
// the results in input order. It exists to overlap the time-outs of blocking probes.

#include "parallel/progress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace wirelux {

// min(max(2 x logical processors, 4), 24); an unknown processor count counts as 4.
unsigned worker_count();
unsigned worker_count_for(unsigned logical_processors);

namespace detail {

// Starts a thread running body; false when the thread cannot be started.
using ThreadLauncher = std::function<bool(std::vector<std::thread>&, const std::function<void()>&)>;
bool launch_std_thread(std::vector<std::thread>& threads, const std::function<void()>& body);

// Runs body on up to `threads` workers and joins them all. A worker that cannot be started is not
// replaced; when none starts at all, the calling thread runs body itself, so every task still runs.
// Returns the number of threads that ran body.
unsigned run_workers(unsigned threads, const std::function<void()>& body,
                     const ThreadLauncher& launch = launch_std_thread);

} // namespace detail

// How a map run shows on the progress meter: its tasks added to the total and ticked as they end,
// only ticked (the caller added them to the total), or not at all (work started ahead of its phase,
// which the phase counts when it takes the results).
enum class MapProgress : std::uint8_t { counted, ticks_only, silent };

struct MapOptions {
    unsigned workers = 0; // 0: worker_count()
    MapProgress progress = MapProgress::counted;
};

template <class Input, class Task>
auto parallel_map(const std::vector<Input>& inputs, Task&& task, std::string_view label, const MapOptions& options,
                  const detail::ThreadLauncher& launch = detail::launch_std_thread)
    -> std::vector<std::invoke_result_t<Task&, const Input&>> {
    using Result = std::invoke_result_t<Task&, const Input&>;
    const std::size_t n = inputs.size();
    if (n == 0) return {};
    if (options.progress == MapProgress::counted) progress_add_total(n);

    std::vector<std::optional<Result>> slots(n);
    std::mutex slots_lock;
    std::atomic<std::size_t> next{0};
    const std::string label_text(label);

    const auto body = [&] {
        while (true) {
            const std::size_t i = next.fetch_add(1);
            if (i >= n) return;
            std::optional<Result> result;
            try {
                result.emplace(task(inputs[i]));
            } catch (...) {
                // A task that throws leaves its slot empty; the map reports that after the join.
            }
            if (result) {
                const std::lock_guard lock(slots_lock);
                slots[i] = std::move(result);
            }
            if (options.progress != MapProgress::silent) progress_tick(label_text);
        }
    };
    const unsigned limit = options.workers != 0 ? options.workers : worker_count();
    const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(limit, n));
    detail::run_workers(threads, body, launch);

    std::vector<Result> results;
    results.reserve(n);
    for (auto& slot : slots) {
        if (!slot) throw std::logic_error("pmap slot");
        results.push_back(std::move(*slot));
    }
    return results;
}

template <class Input, class Task>
auto parallel_map(const std::vector<Input>& inputs, Task&& task, std::string_view label,
                  const detail::ThreadLauncher& launch = detail::launch_std_thread)
    -> std::vector<std::invoke_result_t<Task&, const Input&>> {
    return parallel_map(inputs, std::forward<Task>(task), label, MapOptions{}, launch);
}

} // namespace wirelux
