#include "share/sharing_switches.h"

#include <algorithm>

namespace wirelux {

SharingSwitches sharing_switches(const std::vector<std::string>& tokens) {
    const auto given = [&](const char* name) {
        return std::find(tokens.begin(), tokens.end(), name) != tokens.end();
    };
    return SharingSwitches{given("--redact"), given("--json")};
}

} // namespace wirelux
