#include "report/hash_chain.h"

#include "util/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

const std::string kZeros(64, '0');

ChainBlock block(std::string title, std::string sub, std::vector<std::string> rows, std::string id = "") {
    ChainBlock b;
    b.id = std::move(id);
    b.title = std::move(title);
    b.sub = std::move(sub);
    b.rows = std::move(rows);
    return b;
}

std::vector<ChainBlock> four_blocks() {
    return {
        block("Applications", "local user apps & system traffic", {kv_row("traffic", "all local TCP/UDP")}),
        block("Physical NIC", "upstream carrier", {kv_row("adapter", "Ethernet"), kv_row("ifIndex", "7")}),
        block("LAN Gateway", "first hop to ISP",
              {kv_row("address", "192.168.1.1"), kv_row("ping", "reachable")}),
        block("Internet / ISP", "IPv4 reachability", {kv_row("probe", "223.5.5.5")})};
}

std::vector<std::string> hashes(const std::vector<ChainBlock>& blocks) {
    std::vector<std::string> out;
    for (const RenderedBlock& b : link_blocks(blocks, ""))
        out.push_back(b.hash);
    return out;
}

TEST(PlainRowText, KeepsOnlyTheVisibleTextWithSingleSpaces) {
    EXPECT_EQ(plain_row_text(R"(<span class="k">ifIndex</span><span class="v">12</span>)"), "ifIndex 12");
    EXPECT_EQ(plain_row_text(" \t a\r\n\n<b>b</b>   c  "), "a b c");
    EXPECT_EQ(plain_row_text("<i></i><i></i>"), "");
    EXPECT_EQ(plain_row_text("x<br>y"), "x y");
    // A "<" without a closing ">" is no tag and stays text.
    EXPECT_EQ(plain_row_text("a < b"), "a < b");
}

TEST(PlainRowText, EscapedMarkupInAValueStaysEscapedText) {
    const std::string row = kv_row("v", "<b>x</b> & y");
    EXPECT_EQ(row, R"(<span class="k">v</span><span class="v">&lt;b&gt;x&lt;/b&gt; &amp; y</span>)");
    EXPECT_EQ(plain_row_text(row), "v &lt;b&gt;x&lt;/b&gt; &amp; y");
}

TEST(HashChain, HashesTheDocumentedTextOfEachBlock) {
    const std::vector<RenderedBlock> linked = link_blocks(four_blocks(), "");
    ASSERT_EQ(linked.size(), 4u);
    EXPECT_EQ(linked[0].prev, kZeros);
    EXPECT_EQ(linked[0].hash, sha256_hex("height=0|title=Applications|sub=local user apps & system traffic"
                                         "|rows=traffic all local TCP/UDP|prev=" +
                                         kZeros));
    EXPECT_EQ(linked[1].prev, linked[0].hash);
    EXPECT_EQ(linked[1].hash,
              sha256_hex("height=1|title=Physical NIC|sub=upstream carrier|rows=adapter Ethernet; "
                         "ifIndex 7|prev=" +
                         linked[0].hash));
    for (std::size_t i = 0; i < linked.size(); ++i) {
        EXPECT_EQ(linked[i].height, i);
        EXPECT_EQ(linked[i].hash.size(), 64u);
        EXPECT_EQ(linked[i].hash.find_first_not_of("0123456789abcdef"), std::string::npos);
        if (i > 0) {
            EXPECT_EQ(linked[i].prev, linked[i - 1].hash);
        }
    }
    // A block without rows hashes an empty row list.
    EXPECT_EQ(block_hash_input(3, block("T", "S", {}), "p"), "height=3|title=T|sub=S|rows=|prev=p");
}

TEST(HashChain, AnyVisibleChangeBreaksThatBlockAndEveryLaterOne) {
    const std::vector<std::string> original = hashes(four_blocks());
    const auto changed_from = [&](const std::vector<std::string>& changed) {
        std::size_t first = changed.size();
        for (std::size_t i = 0; i < changed.size(); ++i) {
            if (changed[i] != original[i] && first == changed.size()) first = i;
            if (first != changed.size()) {
                EXPECT_NE(changed[i], original[i]) << "block " << i;
            }
        }
        return first;
    };

    std::vector<ChainBlock> blocks = four_blocks();
    blocks[1].title = "Physical NIc";
    EXPECT_EQ(changed_from(hashes(blocks)), 1u);

    blocks = four_blocks();
    blocks[2].sub = "first hop to ISP ";
    EXPECT_EQ(changed_from(hashes(blocks)), 2u);

    blocks = four_blocks();
    blocks[0].rows[0] = kv_row("traffic", "all local TCP");
    EXPECT_EQ(changed_from(hashes(blocks)), 0u);

    blocks = four_blocks();
    blocks[3].rows.push_back(kv_row("src", "10.0.0.2"));
    EXPECT_EQ(changed_from(hashes(blocks)), 3u);
}

TEST(HashChain, MarkupOnlyChangesKeepEveryHash) {
    const std::vector<std::string> original = hashes(four_blocks());
    std::vector<ChainBlock> blocks = four_blocks();
    blocks[1].rows[0] = "<b class=\"key\">adapter</b>\n  <em>Ethernet</em>";
    blocks[2].rows[1] = R"(<div><span>ping</span>  <span class="v ok">reachable</span></div>)";
    EXPECT_EQ(hashes(blocks), original);
}

TEST(HashChain, TheIdAndStatusAreNotHashed) {
    const std::vector<std::string> original = hashes(four_blocks());
    std::vector<ChainBlock> blocks = four_blocks();
    blocks[1].id = "Ethernet";
    blocks[1].status = "FAIL";
    EXPECT_EQ(hashes(blocks), original);
}

TEST(HashChain, SelectionNeedsANonEmptyMatchingId) {
    std::vector<ChainBlock> blocks = four_blocks();
    blocks[1].id = "wg0";
    std::vector<RenderedBlock> linked = link_blocks(blocks, "wg0");
    EXPECT_FALSE(linked[0].selected);
    EXPECT_TRUE(linked[1].selected);
    EXPECT_FALSE(linked[2].selected);
    // No egress name: the blocks without an id must not match the empty name.
    linked = link_blocks(four_blocks(), "");
    for (const RenderedBlock& b : linked)
        EXPECT_FALSE(b.selected);
}

TEST(RenderBlock, WritesTheTenLinesOfABlock) {
    std::vector<ChainBlock> blocks{
        block("Say \"hi\" <now>", "a & b", {kv_row("k1", "v<1>"), kv_row("k2", "")}, "x")};
    blocks[0].status = "OK";
    const std::vector<RenderedBlock> linked = link_blocks(blocks, "x");
    const std::string& hash = linked[0].hash;
    EXPECT_EQ(hash,
              sha256_hex("height=0|title=Say \"hi\" <now>|sub=a & b|rows=k1 v&lt;1&gt;; k2|prev=" + kZeros));
    const std::string expected =
        "<div class=\"block selected\">\n"
        "  <div class=\"bhead\"><span class=\"height\">#0</span><span class=\"pill ok\">OK</span></div>\n"
        "  <div class=\"btitle\">Say &quot;hi&quot; &lt;now&gt;</div>\n"
        "  <div class=\"bsub\">a &amp; b</div>\n"
        "  <div class=\"brows\"><div class=\"row\"><span class=\"k\">k1</span><span "
        "class=\"v\">v&lt;1&gt;</span>"
        "</div><div class=\"row\"><span class=\"k\">k2</span><span class=\"v\"></span></div></div>\n"
        "  <div class=\"bfoot\">\n"
        "    <div class=\"hrow\" title=\"" +
        hash + "\"><span class=\"hlab\">hash</span><span class=\"hval\">" + hash.substr(0, 14) +
        "&hellip;</span></div>\n"
        "    <div class=\"hrow\" title=\"" +
        kZeros +
        "\"><span class=\"hlab\">prev</span><span class=\"hval\">00000000000000&hellip;</span></div>\n"
        "  </div>\n"
        "</div>";
    EXPECT_EQ(render_block(linked[0]), expected);
}

TEST(RenderBlock, StatusPillAndPlainClass) {
    std::vector<ChainBlock> blocks = four_blocks();
    blocks[0].status = "FAIL";
    blocks[1].status = "WARN"; // no pill for other words
    const std::vector<RenderedBlock> linked = link_blocks(blocks, "");
    const std::string first = render_block(linked[0]);
    EXPECT_EQ(first.rfind("<div class=\"block\">\n", 0), 0u);
    EXPECT_NE(first.find(R"(<span class="height">#0</span><span class="pill fail">FAIL</span></div>)"),
              std::string::npos);
    EXPECT_NE(render_block(linked[1]).find(R"(<span class="height">#1</span></div>)"), std::string::npos);
}

TEST(RenderChainView, ConnectsNeighboursOnly) {
    const std::vector<RenderedBlock> linked = link_blocks(four_blocks(), "");
    const std::string view = render_chain_view(linked);
    const std::string head = R"(<h2>Default egress chain</h2><div class="chain">)";
    ASSERT_EQ(view.rfind(head, 0), 0u);
    EXPECT_EQ(view.substr(head.size(), 19), "<div class=\"block\">");
    EXPECT_TRUE(view.ends_with("</div>\n</div></div>"));
    std::size_t connectors = 0;
    for (std::size_t at = view.find("<svg class=\"conn\""); at != std::string::npos;
         at = view.find("<svg class=\"conn\"", at + 1))
        ++connectors;
    EXPECT_EQ(connectors, 3u);
    EXPECT_NE(view.find("\n</div><svg class=\"conn\" width=\"30\" height=\"16\" viewBox=\"0 0 30 16\">"
                        "<line x1=\"1\" y1=\"8\" x2=\"21\" y2=\"8\" stroke=\"#3fb950\" stroke-width=\"2\"/>"),
              std::string::npos);
    EXPECT_NE(view.find(R"(d="M20 3 L28 8 L20 13")"), std::string::npos);
    EXPECT_EQ(render_chain_view({}), head + "</div>");
}

} // namespace
} // namespace wirelux
