#pragma once
// The self-contained HTML report: header with identity and status chips, the hash-linked default
// egress chain with the evidence sections, the node-graph view over the embedded graph document,
// and the footer. The page loads nothing; its style sheets and scripts are compiled in.

#include "graph/graph_model.h"
#include "model/snapshot.h"
#include "report/egress_chain.h"

#include <string>
#include <string_view>

namespace wirelux {

// Whether the snapshot's identifying values were replaced by stand-ins before rendering; the header
// says so when they were.
enum class ReportValues { as_collected, redacted };

// The note the header's identity line ends with on a redacted run.
inline constexpr std::string_view kRedactedNote = "redacted: identifying values are stand-ins";

// The whole page as UTF-8 text, ending with a line break. Every value from the snapshot or the graph
// document is escaped once; the document is embedded in its script-safe JSON form.
std::string render_report(const FactSnapshot& snapshot, const GraphDocument& graph, const PingCache& pings,
                          ReportValues values = ReportValues::as_collected);

// The header's status chips, in their fixed order.
std::string render_chips(const FactSnapshot& snapshot, const GraphDocument& graph);

// The style sheet and the script as the page carries them (all style assets, all script assets).
std::string report_style_sheet();
std::string report_script();

} // namespace wirelux
