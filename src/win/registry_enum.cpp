#include "platform/registry_enum.h"

#include "win/handle.h"

#include <cstdint>
#include <vector>

namespace wirelux::platform {

namespace {

// Subkey names longer than this are not read (nothing this program looks for has one).
constexpr DWORD kSubkeyNameChars = 512;
// The longest value name the registry allows, plus its terminator.
constexpr DWORD kValueNameChars = 16384;
// Stops a key that keeps changing under the enumeration from looping for long.
constexpr DWORD kMaxEnumeratedEntries = 100'000;

} // namespace

std::vector<std::string> subkey_names(const RegistryKey& key) {
    std::vector<std::string> names;
    HKEY h = static_cast<HKEY>(key.handle());
    if (h == nullptr) return names;
    std::vector<wchar_t> name(kSubkeyNameChars);
    for (DWORD index = 0; index < kMaxEnumeratedEntries; ++index) {
        DWORD length = kSubkeyNameChars;
        const LSTATUS status =
            ::RegEnumKeyExW(h, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue; // name too long: skip it, keep the rest
        if (status != ERROR_SUCCESS) break;      // ERROR_NO_MORE_ITEMS or the key went away
        names.push_back(narrow(name.data(), std::min<DWORD>(length, kSubkeyNameChars)));
    }
    return names;
}

std::vector<RegistryTextValue> text_values(const RegistryKey& key) {
    std::vector<RegistryTextValue> values;
    HKEY h = static_cast<HKEY>(key.handle());
    if (h == nullptr) return values;
    std::vector<wchar_t> name(kValueNameChars);
    std::vector<std::uint8_t> data;
    for (DWORD index = 0; index < kMaxEnumeratedEntries; ++index) {
        DWORD length = kValueNameChars, type = 0, size = 0;
        LSTATUS status = ::RegEnumValueW(h, index, name.data(), &length, nullptr, &type, nullptr, &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        if (size > kMaxEnumeratedValueBytes) continue;
        data.assign(size, 0);
        length = kValueNameChars;
        status = ::RegEnumValueW(h, index, name.data(), &length, nullptr, &type,
                                 size == 0 ? nullptr : data.data(), &size);
        if (status != ERROR_SUCCESS) continue; // changed in between: skip this one value
        data.resize(std::min<std::size_t>(size, data.size()));
        RegistryTextValue value;
        value.name = narrow(name.data(), std::min<DWORD>(length, kValueNameChars));
        value.text = registry_value_text(
            type, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        values.push_back(std::move(value));
    }
    return values;
}

} // namespace wirelux::platform
