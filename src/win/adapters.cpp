#include "platform/adapters.h"

#include "win/adapter_convert.h"

#include <cstdint>
#include <vector>

namespace wirelux::platform {

namespace {

constexpr ULONG kAdapterFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_INCLUDE_PREFIX |
                                GAA_FLAG_INCLUDE_GATEWAYS; // 0x96
constexpr ULONG kInitialBufferBytes = 32 * 1024;

std::optional<std::string> interface_guid(const NET_LUID& luid) {
    GUID guid{};
    if (::ConvertInterfaceLuidToGuid(&luid, &guid) != NO_ERROR) return std::nullopt;
    return guid_text(guid);
}

} // namespace

std::vector<AdapterInfo> enumerate_adapters() {
    // The list holds 64-bit fields, so the buffer is made of 64-bit units to keep them aligned.
    ULONG size = kInitialBufferBytes;
    std::vector<std::uint64_t> buffer((size + 7) / 8);
    auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    ULONG rc = ::GetAdaptersAddresses(AF_UNSPEC, kAdapterFlags, nullptr, list, &size);
    if (rc == ERROR_BUFFER_OVERFLOW) {
        buffer.assign((size + 7) / 8, 0);
        list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        rc = ::GetAdaptersAddresses(AF_UNSPEC, kAdapterFlags, nullptr, list, &size);
    }
    if (rc != NO_ERROR) return {};
    return convert_adapter_list(list, interface_guid);
}

} // namespace wirelux::platform
