#pragma once
// The two-call pattern of the Windows table functions (ask the size, then read into a buffer of that
// size), kept free of Windows headers so that its retry bound is tested everywhere.

#include <cstdint>
#include <optional>
#include <vector>

namespace wirelux::platform {

enum class SizedCallStatus { Done, BufferTooSmall, Failed };

// A table may grow between the size query and the read; that is not a reason to report it empty.
inline constexpr int kSizedReadAttempts = 3;

// Runs call(buffer, size) first without a buffer to learn the size, then with a buffer of that size,
// and repeats the pair while the read finds the buffer too small, at most `attempts` times. The bytes
// of the successful read, or nothing when the size query fails, reports zero, or every read came up
// short.
template <class Call>
std::optional<std::vector<std::uint8_t>> read_sized_table(Call&& call, int attempts = kSizedReadAttempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::uint32_t size = 0;
        if (call(static_cast<std::uint8_t*>(nullptr), size) == SizedCallStatus::Failed || size == 0)
            return std::nullopt;
        std::vector<std::uint8_t> buffer(size);
        switch (call(buffer.data(), size)) {
        case SizedCallStatus::Done:
            return buffer;
        case SizedCallStatus::BufferTooSmall:
            continue;
        case SizedCallStatus::Failed:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace wirelux::platform
