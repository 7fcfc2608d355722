// Linux has no registry: every key fails to open, so every read is absent.
#include "platform/registry.h"

namespace wirelux::platform {

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    handle_ = other.handle_;
    other.handle_ = nullptr;
    return *this;
}

RegistryKey::~RegistryKey() = default;

std::optional<RegistryKey> open_key(RegistryRoot, std::string_view) { return std::nullopt; }
std::optional<std::string> read_text(const RegistryKey&, std::string_view) { return std::nullopt; }
std::optional<std::uint32_t> read_number(const RegistryKey&, std::string_view) { return std::nullopt; }

} // namespace wirelux::platform
