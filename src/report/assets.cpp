#include "report/assets.h"

namespace wirelux {

std::string_view embedded_asset(std::string_view name) {
    for (const EmbeddedAsset& asset : embedded_assets())
        if (asset.name == name) return asset.bytes;
    return {};
}

} // namespace wirelux
