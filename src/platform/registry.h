#pragma once
// Typed registry readers. Where there is no registry every open fails, so every read is absent.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wirelux::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

// An open key, closed when it goes out of scope.
class RegistryKey {
public:
    explicit RegistryKey(void* handle) : handle_(handle) {}
    RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();
    void* handle() const { return handle_; }

private:
    void* handle_;
};

std::optional<RegistryKey> open_key(RegistryRoot root, std::string_view path);
std::optional<std::string> read_text(const RegistryKey& key, std::string_view value_name);
// A REG_DWORD value, or the low 32 bits of a REG_QWORD; absent for any other type (a REG_SZ "0" is
// not the number 0, nor 0x30).
std::optional<std::uint32_t> read_number(const RegistryKey& key, std::string_view value_name);

// Registry value types that the conversions distinguish.
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegQword = 11;

// The number read_number gives for a value of this type and these bytes.
std::optional<std::uint32_t> registry_value_number(std::uint32_t type, std::string_view bytes);

// Converts the bytes of a value as read_text returns them: a DWORD of at least 4 bytes as its
// decimal text, anything else as UTF-16LE with trailing zero units removed.
std::string registry_value_text(std::uint32_t type, std::string_view bytes);

} // namespace wirelux::platform
