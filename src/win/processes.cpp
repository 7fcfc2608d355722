#include "platform/socket_tables.h"
#include "platform/sockets.h"
#include "win/handle.h"

#include <tlhelp32.h>

#include <cstddef>

namespace wirelux::platform {

static_assert(sizeof(PROCESSENTRY32W) == layout::kProcessEntrySize);
static_assert(offsetof(PROCESSENTRY32W, th32ProcessID) == layout::kProcessEntryPidOffset);
static_assert(offsetof(PROCESSENTRY32W, szExeFile) == layout::kProcessEntryExeFileOffset);
static_assert(sizeof(PROCESSENTRY32W::szExeFile) / sizeof(WCHAR) == layout::kProcessEntryExeFileUnits);

std::vector<ProcessInfo> read_process_list() {
    std::vector<ProcessInfo> processes;
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        const std::string_view bytes(reinterpret_cast<const char*>(&entry), sizeof entry);
        if (auto info = process_from_toolhelp_entry(bytes)) processes.push_back(std::move(*info));
    }
    return processes;
}

} // namespace wirelux::platform
