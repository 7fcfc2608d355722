// The graph document's JSON writer on arbitrary texts (names, titles and command lines collected from
// the machine and the network end up in it).
#include "common/harness.h"
#include "graph/graph_json.h"
#include "util/utf.h"

#include <nlohmann/json.hpp>

namespace wirelux::fuzz {

namespace {

// The text as JSON reads it back; every text written must parse to its UTF-8 form.
void check_string(std::string_view input, JsonEscaping escaping) {
    const std::string written = json_string(input, escaping);
    const auto value = nlohmann::json::parse(written, nullptr, false);
    check(!value.is_discarded() && value.is_string(), "a written string parses");
    check(value.get_ref<const std::string&>() == sanitize_utf8(input), "a written string reads back");
    if (escaping == JsonEscaping::script) {
        check(written.find_first_of("<>&") == std::string::npos, "no markup characters in script text");
        check(written.find("\xE2\x80\xA8") == std::string::npos && written.find("\xE2\x80\xA9") == std::string::npos,
              "no line separators in script text");
    }
}

} // namespace

void fuzz_one_input(std::string_view input) {
    check_string(input, JsonEscaping::standard);
    check_string(input, JsonEscaping::script);

    const std::string text(input);
    NodeItem inner;
    inner.v = text;
    NodeItem item;
    item.id = item.k = item.v = item.meta = text;
    item.detail = ItemDetail{text, text, text, text, {inner}};
    GraphNode node;
    node.id = node.label = node.sub = node.status = text;
    node.kind = kNodeNic;
    node.items.push_back(item);
    node.layout_lane = text;
    GraphEdge edge;
    edge.from = edge.to = edge.evidence = text;
    edge.kind = kEdgeMain;
    GraphDocument doc;
    doc.nodes.push_back(node);
    doc.edges.push_back(edge);
    doc.interception.signals.push_back(text);
    const std::optional<std::string> written = write_graph_json(doc, JsonEscaping::script);
    check(written.has_value(), "a shallow document is written");
    const auto value = nlohmann::json::parse(*written, nullptr, false);
    check(!value.is_discarded() && value.is_object(), "the document parses");
}

} // namespace wirelux::fuzz
