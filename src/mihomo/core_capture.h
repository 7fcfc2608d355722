#pragma once
// One proxy core's capture: its configuration, the controller that answers and the connections it
// reports. The network and file operations come in as functions, so the whole sequence runs in tests
// without sockets or files.

#include "mihomo/core_config.h"
#include "model/core_info.h"
#include "model/probe_results.h"
#include "model/snapshot.h"
#include "probe/http_message.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr std::string_view kCoreApiTaskLabel = "mihomo API";

// Process names of the proxy cores whose runtime is looked at (lower case, as the proxy-client list
// keeps them).
bool is_proxy_core_name(std::string_view lower_name);

// Whether a core's identity (image path, command line and name) names a core of the family whose
// configuration and API are read.
bool is_mihomo_like(std::string_view identity_text);

struct CoreOperations {
    ConfigFileReader read_file;
    std::function<std::optional<HttpGetResult>(const std::string& host, std::uint16_t port,
                                               std::string_view path, const HttpHeaders& headers,
                                               unsigned timeout_ms)>
        get;
};

struct CoreProcess {
    std::uint32_t pid = 0;
    std::string name;
    std::string image_path;
    std::string command_line;
    std::string working_directory; // empty when unknown
    std::vector<TcpRow> listeners; // the TCP listeners this process owns
};

// The record of one core. A core outside the family keeps only its process id: nothing is read and
// nothing is asked of it.
CoreInfo capture_core(const CoreProcess& process, const CoreOperations& operations);

// The same without the connections: configuration read and controller candidates probed.
CoreInfo probe_core(const CoreProcess& process, const CoreOperations& operations);

// The same for a core already known to be of the family, from its configuration: probes every
// controller candidate at once, then lists the connections of the first that answered.
void capture_runtime(CoreInfo& core, const std::vector<TcpRow>& listeners, const CoreOperations& operations);

// Asks the core's live controller for its connections; nothing without one.
void fetch_connections(CoreInfo& core, const CoreOperations& operations);

// Several records may have found the same live controller (a GUI named like a core beside the core it
// runs, both asking the default address): the controller is one core's, and its connections must be
// counted once. Each live controller stays with the record whose process owns the listening socket it
// answers on, else with the first; the others lose it, and the TUN their configuration enables, which
// the owner runs (their probes stay as they were).
void keep_one_record_per_controller(std::vector<CoreInfo>& cores, const std::vector<TcpRow>& listeners);

// The file reader the live capture uses: the platform's bounded read, cut back to whole lines.
std::optional<std::string> read_core_config_file(const std::string& path);

} // namespace wirelux
