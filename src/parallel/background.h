#pragma once
// Work started ahead of the phase that needs it, on a thread of its own, and taken when that phase
// comes. The thread is joined when the value is taken or when the holder goes away, whichever comes
// first, so no path leaves it running. Work that throws yields the fallback value instead.

#include <functional>
#include <future>
#include <system_error>
#include <utility>

namespace wirelux {

template <class T>
class Background {
public:
    Background() = default; // nothing started: join() gives a default value

    Background(std::function<T()> work, T fallback) : fallback_(std::move(fallback)) {
        auto guarded = [work = std::move(work), fallback = fallback_]() -> T {
            try {
                return work();
            } catch (...) {
                return fallback;
            }
        };
        try {
            future_ = std::async(std::launch::async, guarded);
        } catch (const std::system_error&) {
            future_ = std::async(std::launch::deferred, guarded); // no thread to spare: it runs when joined
        }
    }

    Background(Background&&) noexcept = default;
    Background& operator=(Background&&) noexcept = default;
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    ~Background() = default; // a future of std::async waits for its thread

    // Waits for the work and gives its value; the fallback once it has been taken.
    T join() {
        if (!future_.valid()) return fallback_;
        return future_.get();
    }

private:
    T fallback_{};
    std::future<T> future_;
};

} // namespace wirelux
