#pragma once

#include <string_view>

namespace wirelux {

// The program's version, set once by the build (the project version in CMakeLists.txt).
std::string_view program_version();

} // namespace wirelux
