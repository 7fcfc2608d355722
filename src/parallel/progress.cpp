#include "parallel/progress.h"

#include "platform/console.h"
#include "util/text.h"
#include "util/utf.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace wirelux {

namespace {

struct ProgressState {
    std::atomic<std::uint64_t> total{kProgressInitialTotal};
    std::atomic<std::uint64_t> done{0};
    bool enabled = false;
};

std::atomic<ProgressState*> g_state{nullptr};
std::mutex g_stderr_lock;

} // namespace

void write_stderr_locked(std::string_view bytes) {
    const std::lock_guard lock(g_stderr_lock);
    platform::write_stderr(bytes);
}

void progress_init(bool enabled) {
    static std::once_flag once;
    std::call_once(once, [enabled] {
        // Lives until exit: ticks may still arrive from workers while the process ends.
        auto* state = new ProgressState;
        state->enabled = enabled;
        g_state.store(state, std::memory_order_release);
    });
}

std::string progress_line(std::uint64_t done, std::uint64_t total, std::string_view label) {
    if (total == 0) total = 1;
    const std::uint64_t percent = std::min<std::uint64_t>(done * 100 / total, 100);
    const std::uint64_t filled = done * 24 / total;
    std::string bar(24, '-');
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(filled, 24); ++i) bar[i] = '#';
    std::string line = "  [" + bar + "] " + pad_left(std::to_string(percent), 3) + "%  ";
    line += label;
    return pad_right(line, kProgressLineWidth);
}

void progress_tick(std::string_view label) {
    ProgressState* state = g_state.load(std::memory_order_acquire);
    if (state == nullptr) return;
    state->done.fetch_add(1);
    if (!state->enabled) return;
    std::string line(1, '\r');
    line += progress_line(state->done.load(), state->total.load(), label);
    write_stderr_locked(line);
}

void progress_add_total(std::uint64_t n) {
    if (ProgressState* state = g_state.load(std::memory_order_acquire)) state->total.fetch_add(n);
}

ProgressCounters progress_counters() {
    const ProgressState* state = g_state.load(std::memory_order_acquire);
    if (state == nullptr) return {};
    return {state->total.load(), state->done.load(), state->enabled};
}

void progress_erase() {
    const ProgressState* state = g_state.load(std::memory_order_acquire);
    if (state == nullptr || !state->enabled) return;
    write_stderr_locked("\r" + std::string(kProgressLineWidth, ' ') + "\r");
}

} // namespace wirelux
