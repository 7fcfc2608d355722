#include "facts/if_type_word.h"

namespace wirelux {

std::string if_type_word(std::uint32_t if_type) {
    switch (if_type) {
    case 6: return "802.3";
    case 23:
    case 131: return "IP";
    case 24: return "Loopback";
    case 71: return "Native 802.11";
    default: return "IfType " + std::to_string(if_type);
    }
}

} // namespace wirelux
