// The service manager and registry enumeration on the system they run on. Under Wine a fresh prefix
// runs the drivers nsiproxy and winebus and the services Eventlog and PlugPlay (RpcSs once something
// asked for it), and keeps the HTTP driver and the Spooler service stopped.
#ifdef _WIN32

#include "facts/service_scan.h"
#include "platform/registry_enum.h"
#include "platform/services.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>

namespace wirelux::platform {
namespace {

const ServiceInfo* find(const std::vector<ServiceInfo>& list, std::string_view name) {
    const auto it = std::find_if(list.begin(), list.end(), [&](const ServiceInfo& s) {
        return to_lower_ascii(s.name) == to_lower_ascii(name);
    });
    return it == list.end() ? nullptr : &*it;
}

std::string listed(const std::vector<ServiceInfo>& list) {
    std::string text;
    for (const ServiceInfo& s : list)
        text += s.name + " ";
    return text;
}

bool is_wine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(LiveServices, RunningDriversCarryTheirBinaryPaths) {
    const auto drivers = list_running(ServiceKind::Drivers);
    ASSERT_FALSE(drivers.empty());
    for (const ServiceInfo& d : drivers) {
        EXPECT_EQ(d.state, "Running");
        EXPECT_FALSE(d.name.empty());
    }
    if (!is_wine()) return;
    const ServiceInfo* nsiproxy = find(drivers, "nsiproxy");
    ASSERT_NE(nsiproxy, nullptr);
    EXPECT_TRUE(to_lower_ascii(nsiproxy->binary_path).ends_with("nsiproxy.sys")) << nsiproxy->binary_path;
    EXPECT_NE(find(drivers, "winebus"), nullptr);
    EXPECT_EQ(find(drivers, "HTTP"), nullptr); // stopped
    EXPECT_TRUE(vpn_identities(drivers).empty());
}

TEST(LiveServices, RunningWin32ServicesOnly) {
    const auto services = list_running(ServiceKind::Services);
    ASSERT_FALSE(services.empty());
    const auto drivers = list_running(ServiceKind::Drivers);
    for (const ServiceInfo& s : services)
        EXPECT_EQ(find(drivers, s.name), nullptr) << s.name;
    if (!is_wine()) return;
    // The automatic services run from the prefix's start on; RpcSs starts on demand, so may be absent.
    for (const char* name : {"Eventlog", "PlugPlay"})
        EXPECT_NE(find(services, name), nullptr) << name << " not among " << listed(services);
    for (const ServiceInfo& s : services)
        EXPECT_FALSE(s.binary_path.empty()) << s.name;
    EXPECT_EQ(find(services, "Spooler"), nullptr); // stopped
    EXPECT_EQ(find(services, "BITS"), nullptr);
}

TEST(LiveRegistry, EnumeratesSubkeysAndValues) {
    const auto key = open_key(RegistryRoot::LocalMachine, R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)");
    ASSERT_TRUE(key);
    const auto subkeys = subkey_names(*key);
    EXPECT_FALSE(subkeys.empty());
    for (const std::string& name : subkeys) {
        EXPECT_FALSE(name.empty());
        EXPECT_TRUE(
            open_key(RegistryRoot::LocalMachine, R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion\)" + name))
            << name;
    }
    const auto values = text_values(*key);
    const auto build = std::find_if(values.begin(), values.end(), [](const RegistryTextValue& v) {
        return v.name == "CurrentBuildNumber";
    });
    ASSERT_NE(build, values.end());
    EXPECT_EQ(build->text, read_text(*key, "CurrentBuildNumber").value_or("?"));
    EXPECT_FALSE(build->text.empty());
}

TEST(LiveRegistry, UninstallKeyListsAnAddedEntry) {
    const std::string parent = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)";
    const std::wstring entry =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WireLux Test \u6d4b\u8bd5";
    HKEY created = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, entry.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created,
                          nullptr) != ERROR_SUCCESS)
        GTEST_SKIP() << "no write access to HKLM";
    const wchar_t display[] = L"Clash Verge";
    ::RegSetValueExW(created, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(display),
                     sizeof display);
    ::RegCloseKey(created);

    const auto key = open_key(RegistryRoot::LocalMachine, parent);
    ASSERT_TRUE(key);
    const auto names = subkey_names(*key);
    const std::string added = "WireLux Test \xe6\xb5\x8b\xe8\xaf\x95";
    EXPECT_NE(std::find(names.begin(), names.end(), added), names.end());
    const auto sub = open_key(RegistryRoot::LocalMachine, parent + "\\" + added);
    ASSERT_TRUE(sub);
    EXPECT_EQ(read_text(*sub, "DisplayName"), "Clash Verge");
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, entry.c_str());
}

} // namespace
} // namespace wirelux::platform

#endif
