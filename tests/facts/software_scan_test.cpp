#include "facts/proxy_settings.h"
#include "facts/software_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace wirelux {
namespace {

using platform::FoundFile;
using platform::RegistryRoot;
using platform::RegistryTextValue;

constexpr RegistryRoot LM = RegistryRoot::LocalMachine;
constexpr RegistryRoot CU = RegistryRoot::CurrentUser;
const std::string kUninstall = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)";
const std::string kUninstall32 = R"(SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall)";
const std::string kRun = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const std::string kRun32 = R"(Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Run)";

// A machine made of maps. Every walk is recorded so that depth and filters can be checked.
struct FakeMachine {
    std::map<std::pair<RegistryRoot, std::string>, std::vector<std::string>> subkeys;
    std::map<std::tuple<RegistryRoot, std::string, std::string>, std::string> texts;
    std::map<std::pair<RegistryRoot, std::string>, std::vector<RegistryTextValue>> values;
    std::map<std::string, std::string> environment;
    std::map<std::string, std::vector<std::string>> directories;
    std::map<std::string, std::vector<FoundFile>> trees;
    std::map<std::string, std::string> contents;

    struct Walk {
        std::string directory;
        int depth;
        std::vector<std::string> extensions;
    };
    mutable std::vector<Walk> walks;
    mutable std::vector<std::string> listed;
    mutable std::vector<std::string> reads;
    mutable int calls = 0;

    SoftwareScanSources sources() const {
        SoftwareScanSources s;
        s.subkeys = [this](RegistryRoot root, const std::string& path) {
            ++calls;
            const auto it = subkeys.find({root, path});
            return it == subkeys.end() ? std::vector<std::string>{} : it->second;
        };
        s.text = [this](RegistryRoot root, const std::string& path, const std::string& value) {
            ++calls;
            const auto it = texts.find({root, path, value});
            return it == texts.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
        s.values = [this](RegistryRoot root, const std::string& path) {
            ++calls;
            const auto it = values.find({root, path});
            return it == values.end() ? std::vector<RegistryTextValue>{} : it->second;
        };
        s.environment = [this](std::string_view name) {
            ++calls;
            const auto it = environment.find(std::string(name));
            return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
        s.subdirectories = [this](const std::string& directory) {
            ++calls;
            listed.push_back(directory);
            const auto it = directories.find(directory);
            return it == directories.end() ? std::vector<std::string>{} : it->second;
        };
        s.files = [this](const std::string& directory, int depth,
                         const std::vector<std::string>& extensions) {
            ++calls;
            walks.push_back({directory, depth, extensions});
            const auto it = trees.find(directory);
            return it == trees.end() ? std::vector<FoundFile>{} : it->second;
        };
        s.read_file = [this](const std::string& path, std::size_t limit) {
            ++calls;
            reads.push_back(path);
            const auto it = contents.find(path);
            return it == contents.end() ? std::nullopt : std::optional<std::string>(it->second.substr(0, limit));
        };
        s.join = [](std::string_view directory, std::string_view name) {
            return std::string(directory) + "\\" + std::string(name);
        };
        return s;
    }
};

std::vector<WinInetEndpoint> endpoints(std::initializer_list<std::uint16_t> ports) {
    std::vector<WinInetEndpoint> list;
    for (const std::uint16_t port : ports)
        list.push_back({"127.0.0.1:" + std::to_string(port), port});
    return list;
}

std::vector<std::string> describe(const std::vector<SoftwareHit>& hits) {
    std::vector<std::string> out;
    for (const SoftwareHit& h : hits)
        out.push_back(h.source + " | " + h.name + " | " + h.detail);
    return out;
}

TEST(SoftwareName, NamesProxyAndTunnelSoftwareCaseInsensitively) {
    for (const char* text : {"Clash Verge", "clash-verge-rev", "MIHOMO Party", "v2rayN", "Xray", "sing-box",
                             "SingBox", "ShadowsocksR", "ssr-win", "Trojan-Qt5", "Hysteria2", "gost",
                             "NaiveProxy", "Some Proxy Tool", "SuperTunnel"})
        EXPECT_TRUE(names_proxy_software(text)) << text;
    for (const char* text : {"Notepad++", "7-Zip 23.01", "Mozilla Firefox", "Microsoft Edge", ""})
        EXPECT_FALSE(names_proxy_software(text)) << text;
}

TEST(ConfigPortReference, NeedsTheLocalHostAndEndsAtAWordBoundary) {
    EXPECT_TRUE(mentions_local_port("http-proxy: 127.0.0.1:7890", 7890));
    EXPECT_TRUE(mentions_local_port(R"({"server":"localhost:7890"})", 7890));
    EXPECT_TRUE(mentions_local_port("proxy=127.0.0.1:7890\n", 7890));
    EXPECT_FALSE(mentions_local_port("mixed-port: 7890", 7890));
    EXPECT_FALSE(mentions_local_port("proxy: 127.0.0.1:78901", 7890));
    EXPECT_FALSE(mentions_local_port("proxy: 0.0.0.0:7890", 7890));
    EXPECT_FALSE(mentions_local_port("proxy: 127.0.0.1:7891", 7890));
    EXPECT_FALSE(mentions_local_port("proxy: 127.0.0.1:8080", 80));
    EXPECT_FALSE(mentions_local_port("127.0.0.1x7890", 7890)); // the dots are literal
}

TEST(SoftwareScan, UninstallEntriesNeedAMatchingDisplayName) {
    FakeMachine m;
    m.subkeys[{LM, kUninstall}] = {"{A1B2}", "Clash Verge", "NoName", "Notepad++"};
    m.subkeys[{LM, kUninstall32}] = {"v2rayN"};
    m.texts[{LM, kUninstall + R"(\{A1B2})", "DisplayName"}] = "Clash Verge";
    m.texts[{LM, kUninstall + R"(\{A1B2})", "InstallLocation"}] = R"(C:\Program Files\Clash Verge)";
    // A key named like the software but without a display name is not a hit.
    m.texts[{LM, kUninstall + R"(\NoName)", "Publisher"}] = "clash";
    m.texts[{LM, kUninstall + R"(\Notepad++)", "DisplayName"}] = "Notepad++ (64-bit x64)";
    m.texts[{LM, kUninstall32 + R"(\v2rayN)", "DisplayName"}] = "v2rayN";
    EXPECT_EQ(describe(scan_installed_software(endpoints({7890}), m.sources())),
              (std::vector<std::string>{R"(uninstall | Clash Verge | C:\Program Files\Clash Verge)",
                                        "uninstall | v2rayN | "}));
}

TEST(SoftwareScan, AutostartValuesMatchOnTheirDataAndSkipPsNames) {
    FakeMachine m;
    m.values[{CU, kRun}] = {
        {"Clash Verge", R"("C:\Program Files\Clash Verge\clash-verge.exe" --silent)"},
        {"OneDrive", R"("C:\Users\u\AppData\Local\Microsoft\OneDrive\OneDrive.exe" /background)"},
        {"PSProxyHelper", R"(C:\tools\proxy.exe)"},
        {"helper", "clash"}};
    m.values[{LM, kRun32}] = {{"Tray", R"(C:\Program Files (x86)\Hysteria\tray.exe)"}};
    EXPECT_EQ(
        describe(scan_installed_software(endpoints({7890}), m.sources())),
        (std::vector<std::string>{
            R"(autostart | Clash Verge | "C:\Program Files\Clash Verge\clash-verge.exe" --silent)",
            "autostart | helper | clash", R"(autostart | Tray | C:\Program Files (x86)\Hysteria\tray.exe)"}));
}

TEST(SoftwareScan, StartMenuShortcutsMatchOnTheirStemToDepthFour) {
    FakeMachine m;
    const std::string programs = R"(C:\Users\u\AppData\Roaming\Microsoft\Windows\Start Menu\Programs)";
    m.environment["APPDATA"] = R"(C:\Users\u\AppData\Roaming)";
    m.trees[programs] = {{programs + R"(\Clash Verge\Clash Verge.lnk)", "Clash Verge.lnk"},
                         {programs + R"(\Notepad.lnk)", "Notepad.lnk"},
                         {programs + R"(\proxy.tools\Launcher.lnk)", "Launcher.lnk"}};
    EXPECT_EQ(describe(scan_installed_software(endpoints({7890}), m.sources())),
              (std::vector<std::string>{"startmenu | Clash Verge | " + programs +
                                        R"(\Clash Verge\Clash Verge.lnk)"}));
    ASSERT_EQ(m.walks.size(), 1u); // ProgramData is not set
    EXPECT_EQ(m.walks[0].directory, programs);
    EXPECT_EQ(m.walks[0].depth, 4);
    EXPECT_EQ(m.walks[0].extensions, std::vector<std::string>{"lnk"});
}

TEST(SoftwareScan, ProgramFoldersAndTheirConfigurationFilesThatReferToTheProxyPort) {
    FakeMachine m;
    m.environment["ProgramFiles"] = R"(C:\Program Files)";
    m.environment["USERPROFILE"] = R"(C:\Users\u)";
    m.directories[R"(C:\Program Files)"] = {"Common Files", "Clash Verge"};
    m.directories[R"(C:\Users\u\.config)"] = {"mihomo", "git"};
    const std::string verge = R"(C:\Program Files\Clash Verge)";
    m.trees[verge] = {{verge + R"(\config.yaml)", "config.yaml"},
                      {verge + R"(\profiles\a.yaml)", "a.yaml"},
                      {verge + R"(\settings.json)", "settings.json"},
                      {verge + R"(\old.yml)", "old.yml"},
                      {verge + R"(\locked.ini)", "locked.ini"}};
    m.contents[verge + R"(\config.yaml)"] = "mixed-port: 7890\nallow-lan: false\n"; // a bare number only
    m.contents[verge + R"(\profiles\a.yaml)"] = "proxy: 127.0.0.1:7890\nother: localhost:7891\n";
    m.contents[verge + R"(\settings.json)"] = "{\"system_proxy\": \"localhost:7890\"}";
    m.contents[verge + R"(\old.yml)"] = "proxy: 127.0.0.1:78901\n";
    const std::string mihomo = R"(C:\Users\u\.config\mihomo)";
    m.trees[mihomo] = {{mihomo + R"(\config.yaml)", "config.yaml"}};
    m.contents[mihomo + R"(\config.yaml)"] = "external-controller: 127.0.0.1:9090\nlisten: 127.0.0.1:7891\n";

    // Two endpoints on one port and one on another: each file is reported once per port.
    EXPECT_EQ(describe(scan_installed_software(endpoints({7890, 7890, 7891}), m.sources())),
              (std::vector<std::string>{
                  "installdir | Clash Verge | " + verge,
                  "installdir | mihomo | " + mihomo,
                  "config:7890 | Clash Verge | " + verge + R"(\profiles\a.yaml)",
                  "config:7890 | Clash Verge | " + verge + R"(\settings.json)",
                  "config:7891 | Clash Verge | " + verge + R"(\profiles\a.yaml)",
                  "config:7891 | mihomo | " + mihomo + R"(\config.yaml)",
              }));
    ASSERT_EQ(m.walks.size(), 2u); // only the folders whose names matched are walked
    EXPECT_EQ(m.walks[0].directory, verge);
    EXPECT_EQ(m.walks[0].depth, 2);
    EXPECT_EQ(m.walks[0].extensions,
              (std::vector<std::string>{"yaml", "yml", "json", "toml", "conf", "ini", "txt"}));
    EXPECT_EQ(m.reads.size(), 6u); // each file once, however many ports
}

TEST(SoftwareScan, TheWholeScanHasOneFileAndByteBudgetAndSaysWhenItRanOut) {
    const std::string menu = R"(C:\ProgramData\Microsoft\Windows\Start Menu\Programs)";
    const std::string folder = R"(C:\ProgramData\clash)";
    const auto machine = [&](std::size_t shortcuts, std::size_t configs) {
        FakeMachine m;
        m.environment["ProgramData"] = R"(C:\ProgramData)";
        m.directories[R"(C:\ProgramData)"] = {"clash"};
        for (std::size_t k = 0; k < shortcuts; ++k)
            m.trees[menu].push_back({menu + "\\clash" + std::to_string(k) + ".lnk", "clash" + std::to_string(k) + ".lnk"});
        for (std::size_t k = 0; k < configs; ++k) {
            const std::string path = folder + "\\c" + std::to_string(k) + ".yaml";
            m.trees[folder].push_back({path, "c" + std::to_string(k) + ".yaml"});
            m.contents[path] = "port: 1\nproxy: 127.0.0.1:7890\n"; // 30 bytes
        }
        return m;
    };
    const struct {
        const char* name;
        std::size_t shortcuts, configs, file_budget, byte_budget;
        std::size_t startmenu_hits, config_hits;
        bool reached;
    } cases[] = {
        {"within both", 2, 3, 5, 90, 2, 3, false},
        {"files shared by the walks", 3, 3, 5, 1000, 3, 2, true},
        {"shortcuts use it all", 5, 3, 5, 1000, 5, 0, true},
        {"bytes run out", 0, 4, 100, 70, 0, 2, true}, // 30 + 30, then 10 bytes of the third
    };
    for (const auto& c : cases) {
        FakeMachine m = machine(c.shortcuts, c.configs);
        SoftwareScanSources sources = m.sources();
        sources.file_budget = c.file_budget;
        sources.byte_budget = c.byte_budget;
        std::size_t startmenu = 0, config = 0, budget = 0;
        std::string last;
        for (const SoftwareHit& h : scan_installed_software(endpoints({7890}), sources)) {
            startmenu += h.source == "startmenu";
            config += h.source == "config:7890";
            budget += h.source == kBudgetHitSource;
            last = h.source;
        }
        EXPECT_EQ(startmenu, c.startmenu_hits) << c.name;
        EXPECT_EQ(config, c.config_hits) << c.name;
        EXPECT_EQ(budget, c.reached ? 1u : 0u) << c.name;
        if (c.reached) {
            EXPECT_EQ(last, kBudgetHitSource) << c.name;
        }
    }
}

TEST(SoftwareScan, EmptyFolderVariablesNameNoFolder) {
    FakeMachine m;
    for (const char* name :
         {"APPDATA", "ProgramData", "ProgramFiles", "ProgramFiles(x86)", "LOCALAPPDATA", "USERPROFILE"})
        m.environment[name] = "";
    EXPECT_TRUE(scan_installed_software(endpoints({7890}), m.sources()).empty());
    EXPECT_TRUE(m.walks.empty());
    EXPECT_TRUE(m.listed.empty());
}

TEST(SoftwareScan, HitsComeInSourceOrder) {
    FakeMachine m;
    m.subkeys[{LM, kUninstall}] = {"x"};
    m.texts[{LM, kUninstall + R"(\x)", "DisplayName"}] = "Clash Verge";
    m.values[{LM, kRun}] = {{"clash", "clash.exe"}};
    m.environment["ProgramData"] = R"(C:\ProgramData)";
    m.directories[R"(C:\ProgramData)"] = {"clash"};
    const std::string menu = R"(C:\ProgramData\Microsoft\Windows\Start Menu\Programs)";
    m.trees[menu] = {{menu + R"(\clash.lnk)", "clash.lnk"}};
    m.trees[R"(C:\ProgramData\clash)"] = {{R"(C:\ProgramData\clash\c.toml)", "c.toml"}};
    m.contents[R"(C:\ProgramData\clash\c.toml)"] = "url = \"http://127.0.0.1:7890\"";
    std::vector<std::string> sources;
    for (const SoftwareHit& h : scan_installed_software(endpoints({7890}), m.sources()))
        sources.push_back(h.source);
    EXPECT_EQ(sources,
              (std::vector<std::string>{"uninstall", "autostart", "startmenu", "installdir", "config:7890"}));
}

TEST(SoftwareScan, RunsOnlyWhenTheWinInetProxyIsUnowned) {
    FakeMachine m;
    m.subkeys[{LM, kUninstall}] = {"x"};
    m.texts[{LM, kUninstall + R"(\x)", "DisplayName"}] = "Clash Verge";

    FactSnapshot off;
    InternetSettings settings;
    settings.proxy_enable = 0;
    settings.proxy_server = "127.0.0.1:7890";
    apply_internet_settings(off, settings);
    find_wininet_endpoint_owners(off);
    collect_software_hits(off, m.sources());
    EXPECT_TRUE(off.software_hits.empty());
    EXPECT_EQ(m.calls, 0);

    FactSnapshot unowned; // enabled, and nothing listens on 7890
    settings.proxy_enable = 1;
    apply_internet_settings(unowned, settings);
    find_wininet_endpoint_owners(unowned);
    ASSERT_TRUE(unowned.wininet_unowned);
    collect_software_hits(unowned, m.sources());
    EXPECT_EQ(describe(unowned.software_hits), (std::vector<std::string>{"uninstall | Clash Verge | "}));
}

} // namespace
} // namespace wirelux
