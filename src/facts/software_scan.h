#pragma once
// The search for the installed software that set a WinINET proxy nobody on this machine serves:
// uninstall entries, autostart values, start-menu shortcuts, program folders and the configuration
// files inside those folders that point at the proxy's port.

#include "model/snapshot.h"
#include "platform/file_walk.h"
#include "platform/registry.h"
#include "platform/registry_enum.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// Configuration files are read up to this size; a proxy setting sits near the top of any real one.
inline constexpr std::size_t kConfigReadLimit = 4 * 1024 * 1024;

// The whole scan lists at most this many files (shortcuts and configuration files together) and reads
// at most this many bytes; past either, it stops and its last hit says so.
inline constexpr std::size_t kScanFileBudget = 10'000;
inline constexpr std::size_t kScanByteBudget = 64 * 1024 * 1024;
inline constexpr const char* kBudgetHitSource = "budget";

// Where the scan looks, so that it runs the same on a fake machine as on the real one.
struct SoftwareScanSources {
    // Subkey names of a key; empty when it cannot be opened.
    std::function<std::vector<std::string>(platform::RegistryRoot, const std::string& key_path)> subkeys;
    // One text value of a key; absent when the key or the value is missing.
    std::function<std::optional<std::string>(platform::RegistryRoot, const std::string& key_path,
                                             const std::string& value_name)>
        text;
    // Every value of a key; empty when it cannot be opened.
    std::function<std::vector<platform::RegistryTextValue>(platform::RegistryRoot,
                                                           const std::string& key_path)>
        values;
    std::function<std::optional<std::string>(std::string_view name)> environment;
    std::function<std::vector<std::string>(const std::string& directory)> subdirectories;
    std::function<std::vector<platform::FoundFile>(const std::string& directory, int max_depth,
                                                   const std::vector<std::string>& extensions)>
        files;
    // The file's bytes up to the limit; absent when unreadable.
    std::function<std::optional<std::string>(const std::string& path, std::size_t limit)> read_file;
    std::function<std::string(std::string_view directory, std::string_view name)> join;
    std::size_t file_budget = kScanFileBudget;
    std::size_t byte_budget = kScanByteBudget;
};

// The sources of the machine the program runs on.
SoftwareScanSources live_software_sources();

// True when the text names proxy or tunnel software.
bool names_proxy_software(std::string_view text);

// True when the text refers to the port on the local machine ("127.0.0.1:7890", "localhost:7890"),
// not merely to a longer number that starts with it.
bool mentions_local_port(std::string_view text, std::uint16_t port);

// Every hit, in the order uninstall, autostart, startmenu, installdir, config; then, when the scan
// stopped at its budget, one hit with the source "budget" that says so.
std::vector<SoftwareHit> scan_installed_software(const std::vector<WinInetEndpoint>& endpoints,
                                                 const SoftwareScanSources& sources);

// Appends the hits to software_hits, only when the WinINET proxy is unowned.
void collect_software_hits(FactSnapshot& snapshot, const SoftwareScanSources& sources);
void collect_software_hits(FactSnapshot& snapshot);

} // namespace wirelux
