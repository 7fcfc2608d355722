#pragma once
// The proxy cores among the running processes, each with what its configuration and runtime API say.

#include "mihomo/core_capture.h"
#include "model/snapshot.h"
#include "platform/process_query.h"

#include <cstdint>
#include <functional>

namespace wirelux {

struct CoreSources {
    std::function<platform::ProcessIdentity(std::uint32_t pid)> identity;
    CoreOperations operations;
};

// The cores are the proxy-like processes with a core's name, each once, in process-list order. A
// controller that several of them found is asked for its connections once, for the core that owns it.
void collect_core_infos(FactSnapshot& snapshot, const CoreSources& sources);

// The machine's own process queries, file reads and HTTP client.
CoreSources live_core_sources();

} // namespace wirelux
