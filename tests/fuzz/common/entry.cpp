#include "common/harness.h"

#include <cstddef>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    wirelux::fuzz::fuzz_one_input(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
