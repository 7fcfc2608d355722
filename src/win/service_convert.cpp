#include "win/service_convert.h"

#include "win/handle.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <optional>

namespace wirelux::platform {

namespace {

// The zero-terminated text at p when it lies wholly inside [begin, end).
std::optional<std::string> text_inside(const wchar_t* p, std::uintptr_t begin, std::uintptr_t end) {
    if (p == nullptr) return std::nullopt;
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    if (at < begin || at >= end || (at - begin) % sizeof(wchar_t) != 0) return std::nullopt;
    const std::size_t room = (end - at) / sizeof(wchar_t);
    for (std::size_t n = 0; n < room; ++n)
        if (p[n] == L'\0') return narrow(p, n);
    return std::nullopt; // no terminator before the buffer ends
}

} // namespace

std::vector<RunningServiceEntry> running_service_entries(const void* buffer, std::size_t size, DWORD count) {
    std::vector<RunningServiceEntry> entries;
    if (buffer == nullptr) return entries;
    const std::size_t fits = size / sizeof(ENUM_SERVICE_STATUS_PROCESSW);
    const std::size_t n = std::min<std::size_t>(count, fits);
    const auto* records = static_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer);
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer);
    const std::uintptr_t end = begin + size;
    for (std::size_t i = 0; i < n; ++i) {
        const ENUM_SERVICE_STATUS_PROCESSW& record = records[i];
        if (record.ServiceStatusProcess.dwCurrentState != SERVICE_RUNNING) continue;
        auto name = text_inside(record.lpServiceName, begin, end);
        if (!name || name->empty()) continue;
        RunningServiceEntry entry;
        const auto* key = record.lpServiceName;
        entry.key.assign(key, key + std::wcslen(key));
        entry.info.name = std::move(*name);
        entry.info.display_name = text_inside(record.lpDisplayName, begin, end).value_or("");
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace wirelux::platform
