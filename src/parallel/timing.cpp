#include "parallel/timing.h"

#include "parallel/progress.h"
#include "platform/process_env.h"
#include "util/text.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace wirelux {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t whole_ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

} // namespace

std::string timing_line(std::string_view label, std::int64_t step_ms, std::int64_t total_ms) {
    return "  [timing] " + pad_right(label, 26) + " " + pad_left(std::to_string(step_ms), 7) + " ms   (total " +
           pad_left(std::to_string(total_ms), 7) + " ms)\n";
}

void timing_mark(std::string_view label) {
    if (!platform::environment_variable("WIRELUX_TIMING")) return;
    const Clock::time_point now = Clock::now();
    static const Clock::time_point start = now; // set once, by the first mark
    static std::mutex last_lock;
    static std::optional<Clock::time_point> last;
    std::int64_t step = 0;
    {
        const std::lock_guard lock(last_lock);
        const Clock::time_point previous = last.value_or(start);
        last = now;
        step = whole_ms(now - previous);
    }
    write_stderr_locked(timing_line(label, step, whole_ms(now - start)));
}

} // namespace wirelux
