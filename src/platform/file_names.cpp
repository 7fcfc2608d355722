// Name tests of the file walk; shared by both backends.
#include "platform/file_walk.h"

#include "util/text.h"

namespace wirelux::platform {

std::string_view file_extension(std::string_view file_name) {
    const std::size_t dot = file_name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : file_name.substr(dot + 1);
}

std::string_view file_stem(std::string_view file_name) {
    const std::size_t dot = file_name.rfind('.');
    return dot == std::string_view::npos ? file_name : file_name.substr(0, dot);
}

bool has_listed_extension(std::string_view file_name, const std::vector<std::string>& extensions) {
    if (file_name.rfind('.') == std::string_view::npos) return false;
    const std::string extension = to_lower_ascii(file_extension(file_name));
    for (const std::string& listed : extensions)
        if (extension == listed) return true;
    return false;
}

} // namespace wirelux::platform
