// Network-class devices and their driver keys through SetupAPI.
#include "platform/adapters.h"
#include "platform/pnp_map.h"
#include "platform/registry.h"
#include "win/handle.h"

#include <setupapi.h>

#include <cwchar>

namespace wirelux::platform {

namespace {

// {4D36E972-E325-11CE-BFC1-08002BE10318}, the network adapter setup class.
constexpr GUID kNetClass = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr DWORD kInstanceIdChars = 1024;
constexpr DWORD kServiceBytes = 1024;

class DeviceInfoList {
public:
    explicit DeviceInfoList(HDEVINFO h) : h_(h) {}
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;
    ~DeviceInfoList() {
        if (valid()) ::SetupDiDestroyDeviceInfoList(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HDEVINFO get() const { return h_; }

private:
    HDEVINFO h_;
};

std::string instance_id(HDEVINFO list, SP_DEVINFO_DATA& device) {
    wchar_t buffer[kInstanceIdChars] = {};
    if (!::SetupDiGetDeviceInstanceIdW(list, &device, buffer, kInstanceIdChars, nullptr)) return {};
    return narrow(buffer, wcsnlen(buffer, kInstanceIdChars));
}

std::string service_name(HDEVINFO list, SP_DEVINFO_DATA& device) {
    BYTE buffer[kServiceBytes] = {};
    DWORD type = 0, used = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_SERVICE, &type, buffer, kServiceBytes,
                                             &used))
        return {};
    const std::string_view bytes(reinterpret_cast<const char*>(buffer), std::min<DWORD>(used, kServiceBytes));
    return registry_value_text(type, bytes);
}

} // namespace

std::unordered_map<std::string, PnpDevice> enumerate_pnp_devices() {
    std::unordered_map<std::string, PnpDevice> map;
    const DeviceInfoList list(::SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!list.valid()) return map;

    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiEnumDeviceInfo(list.get(), index, &device)) break;

        PnpDriverValues values;
        values.instance_id = instance_id(list.get(), device);
        values.service = service_name(list.get(), device);
        const HKEY driver_key =
            ::SetupDiOpenDevRegKey(list.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (driver_key == INVALID_HANDLE_VALUE || driver_key == nullptr) continue;
        const RegistryKey key(driver_key);
        values.net_cfg_instance_id = read_text(key, "NetCfgInstanceId");
        values.provider_name = read_text(key, "ProviderName");
        values.inf_path = read_text(key, "InfPath");
        values.driver_version = read_text(key, "DriverVersion");
        values.characteristics = read_number(key, "Characteristics");
        add_pnp_device(map, std::move(values));
    }
    return map;
}

} // namespace wirelux::platform
