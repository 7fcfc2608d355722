#pragma once
// The run as one JSON document for scripts and fleets (--json): the fact snapshot and the graph
// document, under a schema name a reader checks first.

#include "graph/graph_model.h"
#include "model/snapshot.h"

#include <string>
#include <string_view>

namespace wirelux {

// Raised when a key is removed or changes meaning; keys are only ever added under the same name.
inline constexpr std::string_view kFactsJsonSchema = "wirelux/1";

// Every record of the snapshot as a JSON object: keys in lower camel case in declaration order, absent
// optional values left out, maps as objects in key order, sets and lists as arrays.
std::string facts_json(const FactSnapshot& snapshot);

// {"schema":"wirelux/1","facts":{...},"graph":{...}} and a line break; "graph" is the document the
// report embeds.
std::string facts_json_document(const FactSnapshot& snapshot, const GraphDocument& graph);

} // namespace wirelux
