#pragma once
// The default egress chain drawn as hash-linked blocks: each block's hash covers its own visible text
// and the previous block's hash, so an edit anywhere shows up in every block after it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

struct ChainBlock {
    std::string id;                // the network element the block stands for; empty when it stands for none
    std::string title;             // plain text
    std::string sub;               // plain text
    std::vector<std::string> rows; // markup fragments, each built from escaped values (kv_row)
    std::string status;            // "OK", "FAIL" or empty
};

struct RenderedBlock {
    ChainBlock block;
    std::size_t height = 0; // position in the chain, from 0
    std::string hash;       // 64 lower-case hexadecimal digits
    std::string prev;       // the previous block's hash; 64 "0" for the first block
    bool selected = false;
};

// One key/value row fragment; the value is escaped here, the key is one of the chain's constant words.
std::string kv_row(std::string_view key, std::string_view value);

// A row fragment as the hash sees it: every tag replaced by a space, white space runs collapsed to
// one space, both ends trimmed. Only the visible text counts, so restyling a row keeps its hash.
std::string plain_row_text(std::string_view fragment);

// The text that is hashed for one block.
std::string block_hash_input(std::size_t height, const ChainBlock& block, std::string_view prev);

// Heights, hashes and links in chain order. A block is selected when its id is not empty and equals
// selected_id (the IPv4 egress adapter's name).
std::vector<RenderedBlock> link_blocks(std::vector<ChainBlock> blocks, std::string_view selected_id);

// The markup of one block (ten lines, no line break after the last).
std::string render_block(const RenderedBlock& block);

// The chain heading and the blocks with a connector arrow between neighbours.
std::string render_chain_view(const std::vector<RenderedBlock>& blocks);

} // namespace wirelux
