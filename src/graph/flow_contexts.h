#pragma once
// What the proxy cores' runtime data says a process's traffic did: its attributed connections grouped
// by rule and chain into flow contexts, shown as one "entry" row on every node of the process.

#include "graph/graph_builder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr std::size_t kFlowRowCap = 12;
inline constexpr const char* kRuleUnavailable = "(runtime connection; rule unavailable)";

// The build's attributed connections, worked out on first use.
const std::vector<AttributedConnection>& attributed_connections(GraphBuilder& builder);

// Groups by rule and chain in first-seen order; each context keeps its best attribution.
std::vector<FlowContext> group_flow_contexts(const std::vector<const AttributedConnection*>& connections);

// Adds the contexts to the list: a context of the same rule and chain gains the connections it lacked
// (a connection is never counted twice), a new one is appended.
void merge_flow_contexts(std::vector<FlowContext>& into, const std::vector<FlowContext>& more);

// "{chain} · {n} flow(s)"; without a chain the rule, without either the rule-unavailable text.
std::string flow_context_label(const FlowContext& context);

// "rule {rule}", the rule-unavailable text standing in for a missing rule.
std::string flow_context_rule_key(const FlowContext& context);

// Merges the pid's contexts into those recorded for the node and puts its single "entry" row. A node
// whose process has no attributed connection gets no row.
void attach_flow_contexts(GraphBuilder& builder, const std::string& node_id, std::uint32_t pid);

// "configured" for the configured-endpoint evidence, else "rule" when a rule is known, else "generic".
std::string trace_kind(const std::string& evidence, bool rule_known);

// Keeps the record unless one with the same source, kind and target exists. False when dropped.
bool record_trace(GraphBuilder& builder, TraceRecord record);

} // namespace wirelux
