#include "report/assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace wirelux {
namespace {

std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

TEST(ReportAssets, EveryFileIsEmbeddedByteForByte) {
    const std::filesystem::path dir(WIRELUX_ASSET_DIR);
    std::set<std::string> on_disk;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.starts_with(".")) on_disk.insert(name);
    }
    std::set<std::string> embedded;
    for (const EmbeddedAsset& asset : embedded_assets()) {
        embedded.insert(std::string(asset.name));
        const std::string bytes = file_bytes(dir / std::string(asset.name));
        EXPECT_EQ(asset.bytes.size(), bytes.size()) << asset.name;
        EXPECT_TRUE(asset.bytes == bytes) << asset.name;
        EXPECT_EQ(embedded_asset(asset.name).data(), asset.bytes.data());
    }
    EXPECT_EQ(embedded, on_disk);
    for (const char* name : {"report.css", "viewer.css", "viewer.js", "show_info.js", "graph_view.html"})
        EXPECT_FALSE(embedded_asset(name).empty()) << name;
    EXPECT_TRUE(embedded_asset("missing.js").empty());
}

TEST(ReportAssets, NoAssetCanEndTheElementThatCarriesIt) {
    for (const EmbeddedAsset& asset : embedded_assets()) {
        const std::string text = lower(asset.bytes);
        if (asset.name.ends_with(".css")) {
            EXPECT_EQ(text.find("</style"), std::string::npos) << asset.name;
        }
        if (asset.name.ends_with(".js")) {
            EXPECT_EQ(text.find("</script"), std::string::npos) << asset.name;
            // Inside a script, "<!--" puts the parser in a state where "</script>" may no longer end it.
            EXPECT_EQ(text.find("<!--"), std::string::npos) << asset.name;
        }
    }
}

} // namespace
} // namespace wirelux
