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
    GraphDocument doc;
    GraphNode node{.id = text, .label = text, .sub = text, .kind = kNodeNic, .status = text};
    node.items.push_back(NodeItem{.id = text, .k = text, .v = text, .meta = text,
                                  .detail = ItemDetail{.label = text, .items = {NodeItem{.v = text}}}});
    node.layout_lane = text;
    doc.nodes.push_back(node);
    doc.edges.push_back(GraphEdge{.from = text, .to = text, .kind = kEdgeMain, .evidence = text});
    doc.interception.signals.push_back(text);
    const std::optional<std::string> written = write_graph_json(doc, JsonEscaping::script);
    check(written.has_value(), "a shallow document is written");
    const auto value = nlohmann::json::parse(*written, nullptr, false);
    check(!value.is_discarded() && value.is_object(), "the document parses");
}

} // namespace wirelux::fuzz
