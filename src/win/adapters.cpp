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
    std::vector<std::uint64_t> buffer;
    IP_ADAPTER_ADDRESSES* list = nullptr;
    const auto query = [&](ULONG flags) {
        ULONG size = kInitialBufferBytes;
        buffer.assign((size + 7) / 8, 0);
        list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        ULONG rc = ::GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, list, &size);
        if (rc == ERROR_BUFFER_OVERFLOW) {
            buffer.assign((size + 7) / 8, 0);
            list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
            rc = ::GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, list, &size);
        }
        return rc;
    };
    ULONG rc = query(kAdapterFlags);
    // Some implementations fail the prefix list with ERROR_INVALID_DATA (an on-link default route
    // without a gateway does it under Wine). The prefixes are never read, so the list is asked for
    // once more without them rather than losing every adapter.
    if (rc == ERROR_INVALID_DATA) rc = query(kAdapterFlags & ~static_cast<ULONG>(GAA_FLAG_INCLUDE_PREFIX));
    if (rc != NO_ERROR) return {};
    return convert_adapter_list(list, interface_guid);
}

// The adapter records name their gateways themselves.
std::vector<AdapterInfo> enumerate_adapters(const std::vector<RouteRow>&) { return enumerate_adapters(); }

} // namespace wirelux::platform
