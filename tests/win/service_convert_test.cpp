// The enumeration answer of the service manager, built by hand the way the call lays it out: the
// records first, their texts after them in the same buffer.
#ifdef _WIN32

#include "win/service_convert.h"

#include <gtest/gtest.h>

#include <cstring>

namespace wirelux::platform {
namespace {

class ServiceBuffer {
public:
    explicit ServiceBuffer(std::size_t records) : storage_(4096), count_(records) {
        text_at_ = records * sizeof(ENUM_SERVICE_STATUS_PROCESSW);
    }
    ENUM_SERVICE_STATUS_PROCESSW& record(std::size_t i) {
        return reinterpret_cast<ENUM_SERVICE_STATUS_PROCESSW*>(storage_.data())[i];
    }
    wchar_t* text(const wchar_t* value) {
        const std::size_t bytes = (std::wcslen(value) + 1) * sizeof(wchar_t);
        auto* at = reinterpret_cast<wchar_t*>(bytes_() + text_at_);
        std::memcpy(at, value, bytes);
        text_at_ += bytes;
        return at;
    }
    void set(std::size_t i, const wchar_t* name, const wchar_t* display, DWORD state) {
        record(i).lpServiceName = name ? text(name) : nullptr;
        record(i).lpDisplayName = display ? text(display) : nullptr;
        record(i).ServiceStatusProcess.dwCurrentState = state;
        record(i).ServiceStatusProcess.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    }
    const void* data() const { return storage_.data(); }
    std::size_t size() const { return storage_.size() * sizeof(std::uint64_t); }
    std::size_t used() const { return text_at_; }
    DWORD count() const { return static_cast<DWORD>(count_); }

private:
    std::uint8_t* bytes_() { return reinterpret_cast<std::uint8_t*>(storage_.data()); }
    std::vector<std::uint64_t> storage_;
    std::size_t count_;
    std::size_t text_at_;
};

std::vector<std::string> names(const std::vector<RunningServiceEntry>& entries) {
    std::vector<std::string> out;
    for (const RunningServiceEntry& e : entries)
        out.push_back(e.info.name);
    return out;
}

TEST(ServiceConvert, KeepsRunningEntriesWithTheirTextsInBufferOrder) {
    ServiceBuffer b(4);
    b.set(0, L"Eventlog", L"Event Log", SERVICE_RUNNING);
    b.set(1, L"WireGuardTunnel$wg0", L"WireGuard Tunnel: wg0 \u6d4b\u8bd5", SERVICE_RUNNING);
    b.set(2, L"WireGuardTunnel$wg1", L"WireGuard Tunnel: wg1", SERVICE_STOPPED);
    b.set(3, L"PlugPlay", nullptr, SERVICE_RUNNING);
    const auto entries = running_service_entries(b.data(), b.size(), b.count());
    EXPECT_EQ(names(entries), (std::vector<std::string>{"Eventlog", "WireGuardTunnel$wg0", "PlugPlay"}));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].key, L"WireGuardTunnel$wg0");
    EXPECT_EQ(entries[1].info.display_name, "WireGuard Tunnel: wg0 \xe6\xb5\x8b\xe8\xaf\x95");
    EXPECT_EQ(entries[1].info.state, "Running");
    EXPECT_EQ(entries[1].info.binary_path, "");
    EXPECT_EQ(entries[2].info.display_name, "");
}

TEST(ServiceConvert, StartingStoppingAndPausedEntriesAreNotRunning) {
    ServiceBuffer b(4);
    b.set(0, L"a", L"a", SERVICE_START_PENDING);
    b.set(1, L"b", L"b", SERVICE_STOP_PENDING);
    b.set(2, L"c", L"c", SERVICE_PAUSED);
    b.set(3, L"d", L"d", SERVICE_RUNNING);
    EXPECT_EQ(names(running_service_entries(b.data(), b.size(), b.count())), std::vector<std::string>{"d"});
}

TEST(ServiceConvert, TextsOutsideTheBufferAndOverlongCountsAreNotTrusted) {
    static const wchar_t elsewhere[] = L"Elsewhere";
    ServiceBuffer b(4);
    b.set(0, L"Good", L"Good", SERVICE_RUNNING);
    b.set(1, nullptr, L"No name", SERVICE_RUNNING);
    b.set(2, L"Display elsewhere", nullptr, SERVICE_RUNNING);
    b.record(2).lpDisplayName = const_cast<wchar_t*>(elsewhere);
    b.set(3, L"", L"Empty name", SERVICE_RUNNING);
    b.record(3).lpServiceName = const_cast<wchar_t*>(elsewhere);
    const auto entries = running_service_entries(b.data(), b.size(), 1000); // more than the buffer holds
    EXPECT_EQ(names(entries), (std::vector<std::string>{"Good", "Display elsewhere"}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].info.display_name, "");

    EXPECT_TRUE(running_service_entries(nullptr, 0, 3).empty());
    EXPECT_TRUE(running_service_entries(b.data(), sizeof(ENUM_SERVICE_STATUS_PROCESSW) - 1, 1).empty());
}

TEST(ServiceConvert, ANameWithoutTerminatorInsideTheBufferIsDropped) {
    ServiceBuffer b(2);
    b.set(0, L"First", L"First", SERVICE_RUNNING);
    b.set(1, L"Cut", L"Cut", SERVICE_RUNNING);
    // The buffer ends inside the second record's name: its terminator lies beyond.
    const std::size_t end = reinterpret_cast<const std::uint8_t*>(b.record(1).lpServiceName) -
                            static_cast<const std::uint8_t*>(b.data()) + 2 * sizeof(wchar_t);
    EXPECT_EQ(names(running_service_entries(b.data(), end, b.count())), std::vector<std::string>{"First"});
}

} // namespace
} // namespace wirelux::platform

#endif
