#include "platform/services.h"

#include "win/handle.h"
#include "win/service_convert.h"

#include <cstdint>
#include <cwchar>
#include <vector>

namespace wirelux::platform {

namespace {

// One enumeration call with this much room; a machine with more services than fit is listed partly.
constexpr std::size_t kEnumBufferBytes = 256 * 1024;
// A service configuration is documented to fit in 8 KiB; anything far larger is not believed.
constexpr DWORD kMaxConfigBytes = 64 * 1024;

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE h) : h_(h) {}
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() {
        if (h_ != nullptr) ::CloseServiceHandle(h_);
    }
    SC_HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};

std::string binary_path(SC_HANDLE manager, const std::wstring& key) {
    ServiceHandle service(::OpenServiceW(manager, key.c_str(), SERVICE_QUERY_CONFIG));
    if (!service.valid()) return {};
    DWORD needed = 0;
    if (::QueryServiceConfigW(service.get(), nullptr, 0, &needed) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 || needed > kMaxConfigBytes)
        return {};
    std::vector<std::uint64_t> storage(needed / sizeof(std::uint64_t) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(storage.data());
    DWORD again = 0;
    if (!::QueryServiceConfigW(service.get(), config, needed, &again)) return {};
    if (config->lpBinaryPathName == nullptr) return {};
    return narrow(config->lpBinaryPathName, std::wcslen(config->lpBinaryPathName));
}

} // namespace

std::vector<ServiceInfo> list_running(ServiceKind kind) {
    std::vector<ServiceInfo> list;
    ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager.valid()) return list;

    std::vector<std::uint64_t> storage(kEnumBufferBytes / sizeof(std::uint64_t));
    auto* buffer = reinterpret_cast<BYTE*>(storage.data());
    DWORD needed = 0, returned = 0, resume = 0;
    const BOOL ok = ::EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, static_cast<DWORD>(kind),
                                            SERVICE_STATE_ALL, buffer, static_cast<DWORD>(kEnumBufferBytes),
                                            &needed, &returned, &resume, nullptr);
    // With more data pending the buffer still holds the entries that fit; those are kept.
    if (!ok && ::GetLastError() != ERROR_MORE_DATA) return list;

    for (RunningServiceEntry& entry : running_service_entries(buffer, kEnumBufferBytes, returned)) {
        entry.info.binary_path = binary_path(manager.get(), entry.key);
        list.push_back(std::move(entry.info));
    }
    return list;
}

} // namespace wirelux::platform
