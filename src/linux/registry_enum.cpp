// Linux has no registry: no key ever opens, so there is nothing to enumerate.
#include "platform/registry_enum.h"

namespace wirelux::platform {

std::vector<std::string> subkey_names(const RegistryKey&) {
    return {};
}
std::vector<RegistryTextValue> text_values(const RegistryKey&) {
    return {};
}

} // namespace wirelux::platform
