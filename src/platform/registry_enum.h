#pragma once
// Enumeration of a registry key's subkeys and values. Where there is no registry both lists are empty.

#include "platform/registry.h"

#include <cstddef>
#include <string>
#include <vector>

namespace wirelux::platform {

// A value's name and its data as read_text would give it.
struct RegistryTextValue {
    std::string name;
    std::string text;
};

// Values whose data is longer than this are skipped: an autostart command line is never that long.
inline constexpr std::size_t kMaxEnumeratedValueBytes = 999'999;

// Subkey names in enumeration order; empty when the key has none or cannot be enumerated.
std::vector<std::string> subkey_names(const RegistryKey& key);

// Values in enumeration order, each converted as read_text converts it.
std::vector<RegistryTextValue> text_values(const RegistryKey& key);

} // namespace wirelux::platform
