// The WLAN status text netsh prints; the adapter name is the part before the first NUL byte.
#include "common/harness.h"
#include "graph/wifi_signal.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const auto [adapter, text] = split_once(input, '\0');
    if (const auto signal = wifi_signal_text(text, adapter))
        check(!signal->empty() && signal->size() < 32, "a signal text is short");
}

} // namespace wirelux::fuzz
