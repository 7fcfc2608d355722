#pragma once
// The graph document as JSON text: compact, keys in a fixed order, optional node keys left out,
// doubles in their shortest round-trip form.

#include "graph/graph_model.h"

#include <optional>
#include <string>
#include <string_view>

namespace wirelux {

// What the report embeds when the document cannot be written: the viewer then shows an empty graph.
inline constexpr std::string_view kEmptyGraphJson = R"({"nodes":[],"edges":[]})";

enum class JsonEscaping {
    standard,
    // Additionally writes "<", ">", "&", U+2028 and U+2029 inside strings as \u escapes, so that a
    // value holding "</script>" or "<!--" cannot end or alter the script element that carries the
    // text. The parsed value is the same.
    script,
};

// The document's JSON text, or nothing when the writer refuses the document (details nested
// beyond any depth the builder produces). Strings that are not valid UTF-8 are written with each
// invalid sequence replaced by U+FFFD rather than failing the whole document.
std::optional<std::string> write_graph_json(const GraphDocument& doc, JsonEscaping escaping);

// The document's JSON text, or kEmptyGraphJson when it cannot be written.
std::string graph_json_text(const GraphDocument& doc);

// The form of the text for the report's script element, or kEmptyGraphJson.
std::string graph_json_for_script(const GraphDocument& doc);

// A double as a JSON number: the shortest text that reads back to the same value, with ".0" kept on
// integral values (1.0, not 1); "null" for NaN and infinities.
std::string json_number(double value);

// The value as a quoted JSON string.
std::string json_string(std::string_view value, JsonEscaping escaping = JsonEscaping::standard);

} // namespace wirelux
