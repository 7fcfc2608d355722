#include "graph/wifi_signal.h"

#include "util/regex.h"
#include "util/text.h"

#include <vector>

namespace wirelux {
namespace {

// Value layouts rather than key words, so that localised output reads the same.
const Regex& percent_pattern() {
    static const Regex pattern(R"((?m):\s*(\d{1,3})%\s*$)");
    return pattern;
}

const Regex& dbm_pattern() {
    static const Regex pattern(R"((?m):\s*(-\d{1,3})\s*$)");
    return pattern;
}

// The interface blocks of the text: runs of lines separated by blank lines.
std::vector<std::string_view> blocks_of(std::string_view text) {
    std::vector<std::string_view> blocks;
    std::size_t start = std::string_view::npos;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const bool blank = is_blank(text.substr(pos, end - pos));
        if (!blank && start == std::string_view::npos) start = pos;
        if (blank && start != std::string_view::npos) {
            blocks.push_back(text.substr(start, pos - start));
            start = std::string_view::npos;
        }
        pos = end + 1;
    }
    if (start != std::string_view::npos) blocks.push_back(text.substr(start));
    return blocks;
}

bool block_names(std::string_view block, std::string_view adapter_name) {
    std::size_t pos = 0;
    while (pos < block.size()) {
        std::size_t end = block.find('\n', pos);
        if (end == std::string_view::npos) end = block.size();
        const std::string_view line = block.substr(pos, end - pos);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && trim(line.substr(colon + 1)) == adapter_name) return true;
        pos = end + 1;
    }
    return false;
}

std::string_view block_of_adapter(std::string_view text, std::string_view adapter_name) {
    if (adapter_name.empty()) return text;
    for (const std::string_view block : blocks_of(text))
        if (block_names(block, adapter_name)) return block;
    return text;
}

} // namespace

std::optional<std::string> wifi_signal_text(std::string_view wlan_text, std::string_view adapter_name) {
    const std::string_view block = block_of_adapter(wlan_text, adapter_name);
    const auto percent = percent_pattern().find(block);
    const auto dbm = dbm_pattern().find(block);
    if (percent && dbm) return percent->group(1) + "% (" + dbm->group(1) + " dBm)";
    if (percent) return percent->group(1) + "%";
    if (dbm) return dbm->group(1) + " dBm";
    return std::nullopt;
}

} // namespace wirelux
