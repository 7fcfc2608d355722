#pragma once
// SHA-256 (FIPS 180-4) for the report's hash-linked blocks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wirelux {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Streaming form: feed any number of pieces, then finish once.
class Sha256 {
public:
    Sha256();

    void update(const void* data, std::size_t size);
    void update(std::string_view data) { update(data.data(), data.size()); }

    // The digest of everything fed so far. The object is reset afterwards and can hash anew.
    Sha256Digest finish();

private:
    void compress(const std::uint8_t* block);
    void reset();

    std::array<std::uint32_t, 8> state_{};
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t total_bytes_ = 0;
};

Sha256Digest sha256(std::string_view data);

// Lower-case hexadecimal, two digits per byte.
std::string to_hex(const Sha256Digest& digest);

// The lower-case hexadecimal digest of the bytes.
std::string sha256_hex(std::string_view data);

} // namespace wirelux
