#include "graph/flow_contexts.h"

#include "graph/graph_words.h"
#include "graph/runtime_attribution.h"
#include "util/regex.h"

#include <algorithm>

namespace wirelux {

const std::vector<AttributedConnection>& attributed_connections(GraphBuilder& builder) {
    FlowLayerState& state = builder.flow_state();
    if (!state.attributed) state.attributed = attribute_connections(builder.snapshot());
    return *state.attributed;
}

std::vector<FlowContext> group_flow_contexts(const std::vector<const AttributedConnection*>& connections) {
    std::vector<FlowContext> contexts;
    for (const AttributedConnection* connection : connections) {
        auto context = std::find_if(contexts.begin(), contexts.end(), [&](const FlowContext& c) {
            return c.rule == connection->rule && c.chain == connection->chain;
        });
        if (context == contexts.end()) {
            contexts.push_back(FlowContext{connection->rule, connection->chain, {}, -1.0, {}});
            context = contexts.end() - 1;
        }
        context->connections.emplace(connection->core, connection->connection);
        if (connection->confidence > context->confidence) {
            context->confidence = connection->confidence;
            context->attribution = connection->attribution;
        }
    }
    return contexts;
}

void merge_flow_contexts(std::vector<FlowContext>& into, const std::vector<FlowContext>& more) {
    for (const FlowContext& context : more) {
        const auto same = std::find_if(into.begin(), into.end(), [&](const FlowContext& c) {
            return c.rule == context.rule && c.chain == context.chain;
        });
        if (same == into.end()) {
            into.push_back(context);
            continue;
        }
        same->connections.insert(context.connections.begin(), context.connections.end());
        if (context.confidence > same->confidence) {
            same->confidence = context.confidence;
            same->attribution = context.attribution;
        }
    }
}

std::string flow_context_label(const FlowContext& context) {
    const std::string& head = !context.chain.empty()  ? context.chain
                              : !context.rule.empty() ? context.rule
                                                      : std::string(kRuleUnavailable);
    return head + " · " + std::to_string(context.connections.size()) + " flow(s)";
}

std::string flow_context_rule_key(const FlowContext& context) {
    return "rule " + (context.rule.empty() ? std::string(kRuleUnavailable) : context.rule);
}

void attach_flow_contexts(GraphBuilder& builder, const std::string& node_id, std::uint32_t pid) {
    if (node_id.empty()) return;
    std::vector<const AttributedConnection*> own;
    for (const AttributedConnection& connection : attributed_connections(builder))
        if (connection.pid == pid) own.push_back(&connection);
    if (own.empty()) return;

    std::vector<FlowContext>& contexts = builder.flow_state().node_contexts[node_id];
    merge_flow_contexts(contexts, group_flow_contexts(own));

    std::vector<NodeItem> rows;
    for (std::size_t i = 0; i < contexts.size() && i < kFlowRowCap; ++i)
        rows.push_back(make_row("ctx-" + std::to_string(i + 1), flow_context_rule_key(contexts[i]),
                                flow_context_label(contexts[i]),
                                status_from_confidence(contexts[i].confidence),
                                confidence_word(contexts[i].confidence, contexts[i].attribution), kRoleProp));
    if (contexts.size() > kFlowRowCap)
        rows.push_back(make_row("ctx-more", "more",
                                std::to_string(contexts.size() - kFlowRowCap) + " additional contexts", "",
                                "kept in runtime evidence; compact visual cap", kRoleProp));
    NodeItem entry =
        make_row("entry", "entry",
                 contexts.size() == 1 ? "1 context" : std::to_string(contexts.size()) + " flow contexts", "",
                 "click to inspect merged logical flow contexts", kRoleProp);
    entry.detail = make_detail("Flow contexts", "merged into one entity at this graph layer", "flow", "",
                               std::move(rows));
    builder.put_row(node_id, std::move(entry));
}

std::string trace_kind(const std::string& evidence, bool rule_known) {
    static const Regex configured(
        "(?i)configured endpoint.*listener owner|configured endpoint \\+ local listener owner");
    if (configured.search(evidence)) return "configured";
    return rule_known ? "rule" : "generic";
}

bool record_trace(GraphBuilder& builder, TraceRecord record) {
    FlowLayerState& state = builder.flow_state();
    if (!state.trace_keys.insert(record.source + "|" + record.kind + "|" + record.target).second)
        return false;
    state.traces.push_back(std::move(record));
    return true;
}

} // namespace wirelux
