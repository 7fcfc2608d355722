#pragma once
// The report's style sheets, scripts and constant markup. They are kept as real files under
// src/report/assets/ and compiled into the program at build time, so the written page carries them
// and the program needs no file beside it.

#include <span>
#include <string_view>

namespace wirelux {

struct EmbeddedAsset {
    std::string_view name;  // file name, such as "report.css"
    std::string_view bytes; // the file's bytes, unchanged
};

// Every file of the asset directory, in file-name order.
std::span<const EmbeddedAsset> embedded_assets();

// The bytes of the named asset; empty when there is no such file.
std::string_view embedded_asset(std::string_view name);

} // namespace wirelux
