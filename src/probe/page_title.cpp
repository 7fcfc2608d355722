#include "probe/page_title.h"

#include "util/text.h"

namespace wirelux {

std::string page_title(std::string_view html) {
    constexpr std::string_view kOpen = "<title>";
    constexpr std::string_view kClose = "</title>";
    // Lower-casing ASCII letters keeps every byte where it was, so offsets in the copy hold in the page.
    const std::string lower = to_lower_ascii(html);
    const std::size_t open = lower.find(kOpen);
    if (open == std::string::npos) return {};
    const std::size_t start = open + kOpen.size();
    const std::size_t close = lower.find(kClose, start);
    if (close == std::string::npos) return {};
    return std::string(trim(html.substr(start, close - start)));
}

} // namespace wirelux
