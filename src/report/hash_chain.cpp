#include "report/hash_chain.h"

#include "util/sha256.h"
#include "util/text.h"

#include <utility>

namespace wirelux {

namespace {

constexpr std::size_t kShownHashDigits = 14;

const std::string& zero_hash() {
    static const std::string zeros(64, '0');
    return zeros;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string pill(std::string_view status) {
    if (status == "OK") return R"(<span class="pill ok">OK</span>)";
    if (status == "FAIL") return R"(<span class="pill fail">FAIL</span>)";
    return {};
}

void append_hash_row(std::string& out, std::string_view label, const std::string& hash) {
    out += R"(    <div class="hrow" title=")";
    out += html_escape(hash);
    out += R"("><span class="hlab">)";
    out += label;
    out += R"(</span><span class="hval">)";
    out += html_escape(std::string_view(hash).substr(0, kShownHashDigits));
    out += "&hellip;</span></div>";
}

constexpr std::string_view kConnector =
    R"(<svg class="conn" width="30" height="16" viewBox="0 0 30 16">)"
    R"(<line x1="1" y1="8" x2="21" y2="8" stroke="#3fb950" stroke-width="2"/>)"
    R"(<path d="M20 3 L28 8 L20 13" fill="none" stroke="#3fb950" stroke-width="2")"
    R"( stroke-linecap="round" stroke-linejoin="round"/></svg>)";

} // namespace

std::string kv_row(std::string_view key, std::string_view value) {
    std::string out;
    out.reserve(key.size() + value.size() + 48);
    out += R"(<span class="k">)";
    out += key;
    out += R"(</span><span class="v">)";
    out += html_escape(value);
    out += "</span>";
    return out;
}

std::string plain_row_text(std::string_view fragment) {
    // Tags become spaces first, so that text on both sides of a tag stays apart.
    std::string spaced;
    spaced.reserve(fragment.size());
    for (std::size_t i = 0; i < fragment.size(); ++i) {
        if (fragment[i] == '<') {
            const std::size_t close = fragment.find('>', i + 1);
            if (close != std::string_view::npos) {
                spaced.push_back(' ');
                i = close;
                continue;
            }
        }
        spaced.push_back(fragment[i]);
    }
    std::string plain;
    plain.reserve(spaced.size());
    bool pending_space = false;
    for (const char c : spaced) {
        if (is_space(c)) {
            pending_space = true;
            continue;
        }
        if (pending_space && !plain.empty()) plain.push_back(' ');
        pending_space = false;
        plain.push_back(c);
    }
    return plain;
}

std::string block_hash_input(std::size_t height, const ChainBlock& block, std::string_view prev) {
    std::string text = "height=" + std::to_string(height);
    text += "|title=";
    text += block.title;
    text += "|sub=";
    text += block.sub;
    text += "|rows=";
    text += join(block.rows, "; ", [](const auto& row) { return plain_row_text(row); });
    text += "|prev=";
    text += prev;
    return text;
}

std::vector<RenderedBlock> link_blocks(std::vector<ChainBlock> blocks, std::string_view selected_id) {
    std::vector<RenderedBlock> linked;
    linked.reserve(blocks.size());
    std::string prev = zero_hash();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        RenderedBlock rendered;
        rendered.height = i;
        rendered.prev = prev;
        rendered.hash = sha256_hex(block_hash_input(i, blocks[i], prev));
        rendered.selected = !blocks[i].id.empty() && blocks[i].id == selected_id;
        rendered.block = std::move(blocks[i]);
        prev = rendered.hash;
        linked.push_back(std::move(rendered));
    }
    return linked;
}

std::string render_block(const RenderedBlock& b) {
    std::string out;
    out.reserve(640 + b.block.title.size() + b.block.sub.size());
    out += b.selected ? R"(<div class="block selected">)" : R"(<div class="block">)";
    out += "\n  <div class=\"bhead\"><span class=\"height\">#";
    out += std::to_string(b.height);
    out += "</span>";
    out += pill(b.block.status);
    out += "</div>\n  <div class=\"btitle\">";
    out += html_escape(b.block.title);
    out += "</div>\n  <div class=\"bsub\">";
    out += html_escape(b.block.sub);
    out += "</div>\n  <div class=\"brows\">";
    for (const std::string& row : b.block.rows) {
        out += R"(<div class="row">)";
        out += row;
        out += "</div>";
    }
    out += "</div>\n  <div class=\"bfoot\">\n";
    append_hash_row(out, "hash", b.hash);
    out += '\n';
    append_hash_row(out, "prev", b.prev);
    out += "\n  </div>\n</div>";
    return out;
}

std::string render_chain_view(const std::vector<RenderedBlock>& blocks) {
    std::string out = R"(<h2>Default egress chain</h2><div class="chain">)";
    out += join(blocks, kConnector, [](const RenderedBlock& block) { return render_block(block); });
    out += "</div>";
    return out;
}

} // namespace wirelux
