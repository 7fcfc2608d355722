#include "platform/process_query.h"

#include "win/handle.h"

#include <winternl.h>

#include <cstdint>
#include <vector>

namespace wirelux::platform {

namespace {

constexpr ULONG kProcessCommandLineInformation = 60;
// The longest counted string (32767 characters) fits behind its 16-byte header.
constexpr std::size_t kCommandLineBufferBytes = 64 * 1024 + 16;

// x64 layout: PEB.ProcessParameters and RTL_USER_PROCESS_PARAMETERS.CommandLine.
constexpr std::size_t kPebProcessParametersOffset = 0x20;
constexpr std::size_t kParametersCommandLineOffset = 0x70;

std::string image_path(HANDLE process) {
    std::wstring buffer(1024, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (::QueryFullProcessImageNameW(process, 0, buffer.data(), &size))
            return narrow(buffer.data(), size);
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= 32768) return {};
        buffer.assign(buffer.size() * 4, L'\0');
    }
    return {};
}

// The documented way; absent when the system does not offer the information class (older Windows, Wine).
std::optional<std::string> command_line_by_class(HANDLE process) {
    std::vector<std::uint64_t> storage(kCommandLineBufferBytes / sizeof(std::uint64_t));
    ULONG returned = 0;
    const NTSTATUS status =
        ::NtQueryInformationProcess(process, static_cast<PROCESSINFOCLASS>(kProcessCommandLineInformation),
                                    storage.data(), static_cast<ULONG>(kCommandLineBufferBytes), &returned);
    if (status < 0) return std::nullopt;
    const std::size_t used =
        returned == 0 || returned > kCommandLineBufferBytes ? kCommandLineBufferBytes : returned;
    const std::string_view bytes(reinterpret_cast<const char*>(storage.data()), used);
    return counted_string_in_buffer(bytes, reinterpret_cast<std::uintptr_t>(storage.data()));
}

std::optional<std::string> read_remote(HANDLE process, std::uint64_t address, std::size_t size) {
    if (address == 0) return std::nullopt;
    std::string bytes(size, '\0');
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)),
                             bytes.data(), size, &read) ||
        read != size)
        return std::nullopt;
    return bytes;
}

// The command line as the process's own parameter block holds it.
std::string command_line_from_peb(std::uint32_t pid) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process.valid()) return {};
    PROCESS_BASIC_INFORMATION basic{};
    ULONG returned = 0;
    if (::NtQueryInformationProcess(process.get(), ProcessBasicInformation, &basic, sizeof basic, &returned) <
        0)
        return {};

    const auto peb = read_remote(process.get(), reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress),
                                 kPebProcessParametersOffset + 8);
    if (!peb) return {};
    const auto parameters_address = read_pointer(*peb, kPebProcessParametersOffset);
    if (!parameters_address) return {};
    const auto parameters =
        read_remote(process.get(), *parameters_address, kParametersCommandLineOffset + 16);
    if (!parameters) return {};
    const auto line = read_counted_string(*parameters, kParametersCommandLineOffset);
    if (!line || line->length_bytes == 0) return {};
    const auto units = read_remote(process.get(), line->address, line->length_bytes);
    return units ? text_from_utf16le(*units) : std::string();
}

} // namespace

ProcessIdentity query_process(std::uint32_t pid) {
    ProcessIdentity identity;
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid()) return identity;
    identity.image_path = image_path(process.get());
    if (auto line = command_line_by_class(process.get())) {
        identity.command_line = std::move(*line);
    } else {
        identity.command_line = command_line_from_peb(pid);
    }
    return identity;
}

} // namespace wirelux::platform
