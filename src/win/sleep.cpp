#include "platform/sleep.h"

#include "win/handle.h"

namespace wirelux::platform {

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;
#endif

} // namespace

void sleep_precisely(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) return;
    // Older systems and Wine refuse the high-resolution flag; they get the ordinary sleep.
    UniqueHandle timer(
        ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS));
    if (timer.get() != nullptr) {
        LARGE_INTEGER due{};
        due.QuadPart = -static_cast<LONGLONG>(duration.count()) * 10'000; // relative, in 100 ns units
        if (::SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE) &&
            ::WaitForSingleObject(timer.get(), INFINITE) == WAIT_OBJECT_0)
            return;
    }
    ::Sleep(static_cast<DWORD>(duration.count()));
}

} // namespace wirelux::platform
