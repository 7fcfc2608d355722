#pragma once
// The entries of an EnumServicesStatusExW answer, converted to plain records.

#include "model/snapshot.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace wirelux::platform {

// A running entry: its record (binary path still empty) and the name to open it by.
struct RunningServiceEntry {
    std::wstring key;
    ServiceInfo info;
};

// The entries among the first `count` ENUM_SERVICE_STATUS_PROCESSW records of the buffer whose current
// state is SERVICE_RUNNING, in buffer order. The texts lie in the same buffer; an entry whose name does
// not lie wholly inside it is dropped, a display name that does not becomes empty. A count larger than
// the buffer holds is cut to what it holds.
std::vector<RunningServiceEntry> running_service_entries(const void* buffer, std::size_t size, DWORD count);

} // namespace wirelux::platform
