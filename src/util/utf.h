#pragma once
// UTF-8 and UTF-16 conversion. Invalid input never fails: every invalid sequence becomes U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>

namespace wirelux {

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view units);

// UTF-8 to UTF-16; each maximal invalid subsequence becomes one U+FFFD.
std::u16string utf8_to_utf16(std::string_view bytes);

// The bytes as UTF-8 with every invalid sequence replaced by U+FFFD.
std::string sanitize_utf8(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

// True when the units hold no unpaired surrogate.
bool is_valid_utf16(std::u16string_view units);

// Bytes read as little-endian UTF-16 code units; an odd trailing byte is dropped.
std::u16string utf16le_bytes_to_units(std::string_view bytes);

// Number of code points; each invalid sequence counts as the one U+FFFD it would become.
std::size_t utf8_length(std::string_view text);

} // namespace wirelux
