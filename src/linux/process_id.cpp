#include "platform/process_id.h"

#include <unistd.h>

namespace wirelux::platform {

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(::getpid());
}

} // namespace wirelux::platform
