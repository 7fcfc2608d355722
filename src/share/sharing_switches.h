#pragma once
// The two switches that shape what a run shares: "--redact" and "--json".

#include <string>
#include <vector>

namespace wirelux {

struct SharingSwitches {
    bool redact = false; // identifying values replaced by stand-ins in every output
    bool json = false;   // the facts and the graph written beside the report as JSON
};

// Each switch is on when a token equals it exactly (case-sensitive) anywhere on the command line;
// other tokens are ignored.
SharingSwitches sharing_switches(const std::vector<std::string>& tokens);

} // namespace wirelux
