#include "facts/snapshot.h"

namespace wirelux {

const AdapterInfo* find_adapter(const FactSnapshot& snapshot, std::uint32_t if_index) {
    for (const AdapterInfo& adapter : snapshot.adapters)
        if (adapter.if_index == if_index) return &adapter;
    return nullptr;
}

} // namespace wirelux
