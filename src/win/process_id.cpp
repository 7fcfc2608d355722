#include "platform/process_id.h"

#include <windows.h>

namespace wirelux::platform {

std::uint32_t current_process_id() {
    return ::GetCurrentProcessId();
}

} // namespace wirelux::platform
