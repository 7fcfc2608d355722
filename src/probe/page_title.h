#pragma once

#include <string>
#include <string_view>

namespace wirelux {

// The text between the first <title> and the </title> after it (tags in any letter case), trimmed,
// with the page's own letter case; empty when there is no such pair.
std::string page_title(std::string_view html);

} // namespace wirelux
