#include "platform/registry.h"

#include "win/handle.h"

#include <vector>

namespace wirelux::platform {

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) ::RegCloseKey(static_cast<HKEY>(handle_));
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

RegistryKey::~RegistryKey() {
    if (handle_ != nullptr) ::RegCloseKey(static_cast<HKEY>(handle_));
}

std::optional<RegistryKey> open_key(RegistryRoot root, std::string_view path) {
    HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(base, widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    return RegistryKey(key);
}

std::optional<std::string> read_text(const RegistryKey& key, std::string_view value_name) {
    const std::wstring name = widen(value_name);
    HKEY h = static_cast<HKEY>(key.handle());
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(h, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (size == 0) return std::string();
    std::vector<unsigned char> buffer(size);
    if (::RegQueryValueExW(h, name.c_str(), nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    buffer.resize(std::min<std::size_t>(size, buffer.size()));
    return registry_value_text(type, std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size()));
}

std::optional<std::uint32_t> read_number(const RegistryKey& key, std::string_view value_name) {
    const std::wstring name = widen(value_name);
    // Room for a QWORD; a longer value (a text, say) fails with ERROR_MORE_DATA and is no number.
    char buffer[8] = {};
    DWORD type = 0, size = sizeof buffer;
    if (::RegQueryValueExW(static_cast<HKEY>(key.handle()), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return registry_value_number(type, std::string_view(buffer, size));
}

} // namespace wirelux::platform
