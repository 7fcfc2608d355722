#include "facts/software_scan.h"

#include "platform/files.h"
#include "platform/process_env.h"
#include "util/regex.h"
#include "util/utf.h"

#include <algorithm>
#include <array>

namespace wirelux {

namespace {

using platform::RegistryRoot;

constexpr std::array<const char*, 2> kUninstallKeys = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};

struct RunKey {
    RegistryRoot root;
    const char* path;
};
constexpr std::array<RunKey, 3> kRunKeys = {
    RunKey{RegistryRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    RunKey{RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    RunKey{RegistryRoot::LocalMachine, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"}};

constexpr std::array<const char*, 2> kStartMenuRoots = {"APPDATA", "ProgramData"};
constexpr std::array<const char*, 4> kStartMenuPath = {"Microsoft", "Windows", "Start Menu", "Programs"};
constexpr int kStartMenuDepth = 4;

constexpr std::array<const char*, 5> kProgramRoots = {"ProgramData", "APPDATA", "ProgramFiles",
                                                      "ProgramFiles(x86)", "LOCALAPPDATA"};
constexpr const char* kUserProfile = "USERPROFILE";
constexpr const char* kUserConfigFolder = ".config";
constexpr int kConfigDepth = 2;

const std::vector<std::string>& shortcut_extensions() {
    static const std::vector<std::string> extensions = {"lnk"};
    return extensions;
}

const std::vector<std::string>& config_extensions() {
    static const std::vector<std::string> extensions = {"yaml", "yml", "json", "toml", "conf", "ini", "txt"};
    return extensions;
}

// A port reference ends at a word boundary, so the port 7890 is not found inside 127.0.0.1:78901.
Regex local_port_reference(std::uint16_t port) {
    return Regex("(127\\.0\\.0\\.1|localhost):" + std::to_string(port) + "\\b");
}

struct ProgramFolder {
    std::string name;
    std::string path;
};

// A folder variable that is unset or empty names no folder; joining onto an empty value would turn
// into a path relative to the working directory.
std::optional<std::string> folder_variable(const SoftwareScanSources& sources, std::string_view name) {
    auto value = sources.environment(name);
    if (!value || value->empty()) return std::nullopt;
    return value;
}

// What the scan may still list and read; once either runs out, the scan stops where it is.
struct ScanBudget {
    std::size_t files_left;
    std::size_t bytes_left;
    bool reached = false;

    // The files of one walk, cut to what is left of the file budget.
    std::vector<platform::FoundFile> take(std::vector<platform::FoundFile> files) {
        if (files.size() > files_left) {
            files.resize(files_left);
            reached = true;
        }
        files_left -= files.size();
        return files;
    }
};

void scan_uninstall_entries(const SoftwareScanSources& sources, std::vector<SoftwareHit>& hits) {
    for (const char* key : kUninstallKeys) {
        for (const std::string& subkey : sources.subkeys(RegistryRoot::LocalMachine, key)) {
            const std::string path = std::string(key) + "\\" + subkey;
            const auto display_name = sources.text(RegistryRoot::LocalMachine, path, "DisplayName");
            if (!display_name || !names_proxy_software(*display_name)) continue;
            hits.push_back({"uninstall", *display_name,
                            sources.text(RegistryRoot::LocalMachine, path, "InstallLocation").value_or("")});
        }
    }
}

void scan_autostart_values(const SoftwareScanSources& sources, std::vector<SoftwareHit>& hits) {
    for (const RunKey& key : kRunKeys) {
        for (const platform::RegistryTextValue& value : sources.values(key.root, key.path)) {
            if (value.name.starts_with("PS")) continue;
            if (names_proxy_software(value.text)) hits.push_back({"autostart", value.name, value.text});
        }
    }
}

void scan_start_menu(const SoftwareScanSources& sources, ScanBudget& budget, std::vector<SoftwareHit>& hits) {
    for (const char* variable : kStartMenuRoots) {
        const auto root = folder_variable(sources, variable);
        if (!root || budget.reached) continue;
        std::string folder = *root;
        for (const char* part : kStartMenuPath)
            folder = sources.join(folder, part);
        for (const platform::FoundFile& file :
             budget.take(sources.files(folder, kStartMenuDepth, shortcut_extensions()))) {
            const std::string stem = sanitize_utf8(platform::file_stem(file.name));
            if (names_proxy_software(stem)) hits.push_back({"startmenu", stem, sanitize_utf8(file.path)});
        }
    }
}

std::vector<ProgramFolder> scan_program_folders(const SoftwareScanSources& sources,
                                                std::vector<SoftwareHit>& hits) {
    std::vector<std::string> roots;
    for (const char* variable : kProgramRoots)
        if (const auto root = folder_variable(sources, variable)) roots.push_back(*root);
    if (const auto profile = folder_variable(sources, kUserProfile))
        roots.push_back(sources.join(*profile, kUserConfigFolder));

    std::vector<ProgramFolder> folders;
    for (const std::string& root : roots) {
        for (const std::string& name : sources.subdirectories(root)) {
            if (!names_proxy_software(name)) continue;
            ProgramFolder folder{name, sources.join(root, name)};
            hits.push_back({"installdir", sanitize_utf8(folder.name), sanitize_utf8(folder.path)});
            folders.push_back(std::move(folder));
        }
    }
    return folders;
}

// Each port once, in the order the endpoints name them: two endpoints on one port must not report
// every file twice.
std::vector<std::uint16_t> distinct_ports(const std::vector<WinInetEndpoint>& endpoints) {
    std::vector<std::uint16_t> ports;
    for (const WinInetEndpoint& e : endpoints)
        if (std::find(ports.begin(), ports.end(), e.port) == ports.end()) ports.push_back(e.port);
    return ports;
}

void scan_config_files(const SoftwareScanSources& sources, const std::vector<ProgramFolder>& folders,
                       const std::vector<WinInetEndpoint>& endpoints, ScanBudget& budget,
                       std::vector<SoftwareHit>& hits) {
    const std::vector<std::uint16_t> ports = distinct_ports(endpoints);
    if (ports.empty()) return;
    std::vector<Regex> references;
    for (const std::uint16_t port : ports)
        references.push_back(local_port_reference(port));

    for (const ProgramFolder& folder : folders) {
        if (budget.reached) break;
        // Each file is read once; its matches are then reported port by port.
        const auto files = budget.take(sources.files(folder.path, kConfigDepth, config_extensions()));
        std::vector<std::vector<bool>> matched(files.size());
        for (std::size_t f = 0; f < files.size(); ++f) {
            if (budget.bytes_left == 0) {
                budget.reached = true;
                break;
            }
            const auto bytes = sources.read_file(files[f].path, std::min(kConfigReadLimit, budget.bytes_left));
            if (!bytes) continue;
            budget.bytes_left -= std::min(bytes->size(), budget.bytes_left);
            const std::string text = sanitize_utf8(*bytes);
            for (const Regex& reference : references)
                matched[f].push_back(reference.search(text));
        }
        for (std::size_t p = 0; p < ports.size(); ++p) {
            for (std::size_t f = 0; f < files.size(); ++f) {
                if (matched[f].empty() || !matched[f][p]) continue;
                hits.push_back({"config:" + std::to_string(ports[p]), sanitize_utf8(folder.name),
                                sanitize_utf8(files[f].path)});
            }
        }
    }
}

} // namespace

SoftwareScanSources live_software_sources() {
    SoftwareScanSources sources;
    sources.subkeys = [](RegistryRoot root, const std::string& path) {
        const auto key = platform::open_key(root, path);
        return key ? platform::subkey_names(*key) : std::vector<std::string>{};
    };
    sources.text = [](RegistryRoot root, const std::string& path, const std::string& value) {
        const auto key = platform::open_key(root, path);
        return key ? platform::read_text(*key, value) : std::nullopt;
    };
    sources.values = [](RegistryRoot root, const std::string& path) {
        const auto key = platform::open_key(root, path);
        return key ? platform::text_values(*key) : std::vector<platform::RegistryTextValue>{};
    };
    sources.environment = platform::environment_variable;
    sources.subdirectories = [](const std::string& directory) {
        return platform::list_subdirectories(directory);
    };
    sources.files = [](const std::string& directory, int max_depth,
                       const std::vector<std::string>& extensions) {
        return platform::walk_files(directory, max_depth, extensions);
    };
    sources.read_file = [](const std::string& path, std::size_t limit) {
        return platform::read_file_prefix(path, limit);
    };
    sources.join = platform::join_path;
    return sources;
}

bool names_proxy_software(std::string_view text) {
    static const Regex pattern(
        "(?i)(clash|mihomo|verge|v2ray|xray|sing.?box|shadowsocks|ssr|trojan|hysteria|gost|"
        "naive|proxy|tunnel)");
    return pattern.search(text);
}

bool mentions_local_port(std::string_view text, std::uint16_t port) {
    return local_port_reference(port).search(text);
}

std::vector<SoftwareHit> scan_installed_software(const std::vector<WinInetEndpoint>& endpoints,
                                                 const SoftwareScanSources& sources) {
    std::vector<SoftwareHit> hits;
    ScanBudget budget{sources.file_budget, sources.byte_budget};
    scan_uninstall_entries(sources, hits);
    scan_autostart_values(sources, hits);
    scan_start_menu(sources, budget, hits);
    const std::vector<ProgramFolder> folders = scan_program_folders(sources, hits);
    scan_config_files(sources, folders, endpoints, budget, hits);
    if (budget.reached)
        hits.push_back({kBudgetHitSource, "scan stopped early",
                        "budget of " + std::to_string(sources.file_budget) + " files and " +
                            std::to_string(sources.byte_budget) + " bytes reached; later files not looked at"});
    return hits;
}

void collect_software_hits(FactSnapshot& snapshot, const SoftwareScanSources& sources) {
    if (!snapshot.wininet_unowned) return;
    std::vector<SoftwareHit> hits = scan_installed_software(snapshot.wininet_endpoints, sources);
    snapshot.software_hits.insert(snapshot.software_hits.end(), std::make_move_iterator(hits.begin()),
                                  std::make_move_iterator(hits.end()));
}

void collect_software_hits(FactSnapshot& snapshot) {
    collect_software_hits(snapshot, live_software_sources());
}

} // namespace wirelux
