// The title of the campus portal's page (or of whatever answers on its address).
#include "common/harness.h"
#include "probe/page_title.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const std::string title = page_title(input);
    check(title.size() <= input.size(), "the title lies in the page");
    check(title.empty() || input.find(title) != std::string_view::npos, "the title is a part of the page");
}

} // namespace wirelux::fuzz
