#pragma once
// What the harnesses share. libFuzzer supplies main and calls LLVMFuzzerTestOneInput (common/entry.cpp)
// once per input; each harness defines fuzz_one_input over the input's bytes as text. A harness
// returns normally for every input: crashes, sanitizer reports and failed checks are the findings.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <utility>

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input);

// A property that must hold for every input; a failure aborts, so libFuzzer keeps the input.
inline void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The text before the first separator and the text after it (empty when there is none).
inline std::pair<std::string_view, std::string_view> split_once(std::string_view input, char separator) {
    const std::size_t at = input.find(separator);
    if (at == std::string_view::npos) return {input, {}};
    return {input.substr(0, at), input.substr(at + 1)};
}

// The first byte as a small selector (0 for an empty input) and the bytes after it.
inline std::pair<unsigned, std::string_view> take_selector(std::string_view input) {
    if (input.empty()) return {0, input};
    return {static_cast<unsigned char>(input.front()), input.substr(1)};
}

inline std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace wirelux::fuzz
