#pragma once
// The write loops of the Windows file and console writers, kept free of Windows headers so that their
// ends are tested everywhere.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

namespace wirelux::platform {

// Writes `total` units through write(offset, count), which returns the units it wrote or nothing when
// the write failed; count is chunk(offset), the size of the next piece. A write that reports success
// but wrote nothing is a failure too: trying it again would never end.
template <class Chunk, class Write>
bool write_in_chunks(std::size_t total, Chunk&& chunk, Write&& write) {
    std::size_t offset = 0;
    while (offset < total) {
        const std::optional<std::size_t> written = write(offset, chunk(offset));
        if (!written || *written == 0) return false;
        offset += std::min(*written, total - offset);
    }
    return true;
}

// The length of the next piece of UTF-16 text, at most `limit` units, and one less when the piece
// would end between the two halves of a surrogate pair (a console draws each half as a stand-in).
template <class Unit>
std::size_t utf16_piece_length(std::basic_string_view<Unit> rest, std::size_t limit) {
    if (rest.size() <= limit || limit < 2) return std::min(rest.size(), limit);
    const auto last = static_cast<char16_t>(rest[limit - 1]);
    return last >= 0xD800 && last <= 0xDBFF ? limit - 1 : limit;
}

} // namespace wirelux::platform
