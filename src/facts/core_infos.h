#pragma once
// The proxy cores among the running processes, each with what its configuration and runtime API say.

#include "mihomo/core_capture.h"
#include "model/snapshot.h"
#include "platform/process_query.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace wirelux {

struct CoreSources {
    std::function<platform::ProcessIdentity(std::uint32_t pid)> identity;
    CoreOperations operations;
};

// The cores are the proxy-like processes with a core's name, each once, in process-list order. A
// controller that several of them found is asked for its connections once, for the core that owns it.
void collect_core_infos(FactSnapshot& snapshot, const CoreSources& sources);

// Runtime connections name their process by image path and name, and the process list gives names
// only: the processes whose name a connection carries get their image path asked for (once per
// process, lowest ids first, at most kRuntimePathQueries queries), so that a connection can be tied to
// its process by path. Paths already known are kept; known gives the paths already asked for.
inline constexpr std::size_t kRuntimePathQueries = 32;
void fill_runtime_process_paths(FactSnapshot& snapshot,
                                const std::function<platform::ProcessIdentity(std::uint32_t pid)>& identity,
                                const std::map<std::uint32_t, std::string>& known = {});

// The machine's own process queries, file reads and HTTP client.
CoreSources live_core_sources();

} // namespace wirelux
