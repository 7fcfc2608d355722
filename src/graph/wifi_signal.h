#pragma once
// The Wi-Fi signal as the WLAN status text of netsh states it.

#include <optional>
#include <string>
#include <string_view>

namespace wirelux {

// "{percent}% ({dBm} dBm)" from the signal and RSSI lines, "{percent}%" or "{dBm} dBm" when only one of
// them is there, nothing when neither is. With several interfaces listed, the block that names the
// adapter is read; when no block names it, the first values in the text are taken.
std::optional<std::string> wifi_signal_text(std::string_view wlan_text, std::string_view adapter_name);

} // namespace wirelux
