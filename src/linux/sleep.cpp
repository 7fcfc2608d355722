#include "platform/sleep.h"

#include <thread>

namespace wirelux::platform {

void sleep_precisely(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration); // nanosleep: already precise, and it resumes after signals
}

} // namespace wirelux::platform
