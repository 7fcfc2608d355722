#include "graph/graph_json.h"

#include "util/utf.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace wirelux {
namespace {

// The builder nests drill-downs one or two levels deep; anything far deeper is a fault upstream and
// must not recurse without bound.
constexpr int kMaxDetailDepth = 32;

// The two-character escapes JSON defines, or null.
const char* short_escape(unsigned char byte) {
    switch (byte) {
    case '"':
        return "\\\"";
    case '\\':
        return "\\\\";
    case '\b':
        return "\\b";
    case '\f':
        return "\\f";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        return nullptr;
    }
}

void append_escaped(std::string& out, std::string_view text, JsonEscaping escaping) {
    static constexpr char kHex[] = "0123456789abcdef";
    const bool script = escaping == JsonEscaping::script;
    out.push_back('"');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (const char* escape = short_escape(byte)) {
            out += escape;
            continue;
        }
        if (byte < 0x20 || (script && (byte == '<' || byte == '>' || byte == '&'))) {
            out += "\\u00";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
            continue;
        }
        // U+2028 and U+2029 (E2 80 A8/A9) end a line inside script text in older engines.
        if (script && byte == 0xE2 && i + 2 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
             static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
            continue;
        }
        out.push_back(static_cast<char>(byte));
    }
    out.push_back('"');
}

void append_string(std::string& out, std::string_view text, JsonEscaping escaping) {
    if (is_valid_utf8(text)) {
        append_escaped(out, text, escaping);
    } else {
        append_escaped(out, sanitize_utf8(text), escaping);
    }
}

void append_number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    out += text;
    // Integral values keep a fraction so that the reader sees a floating-point number.
    if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

template <typename Integer> void append_integer(std::string& out, Integer value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

class Writer {
public:
    explicit Writer(JsonEscaping escaping) : escaping_(escaping) {}

    bool document(const GraphDocument& doc) {
        out_ += "{\"version\":";
        append_number(out_, doc.version);
        field("profile");
        string(doc.profile);
        field("evidenceModel");
        string(doc.evidence_model);
        field("interception");
        interception(doc.interception);
        field("tcpSnapshots");
        append_integer(out_, doc.tcp_snapshots);
        field("limits");
        out_ += "{\"maxDepth\":";
        append_integer(out_, doc.limits.max_depth);
        field("maxNodes");
        append_integer(out_, doc.limits.max_nodes);
        field("maxRepeatPerPid");
        append_integer(out_, doc.limits.max_repeat_per_pid);
        out_ += '}';
        field("nodes");
        out_ += '[';
        for (std::size_t i = 0; i < doc.nodes.size(); ++i) {
            if (i != 0) out_ += ',';
            if (!node(doc.nodes[i])) return false;
        }
        out_ += ']';
        field("edges");
        out_ += '[';
        for (std::size_t i = 0; i < doc.edges.size(); ++i) {
            if (i != 0) out_ += ',';
            edge(doc.edges[i]);
        }
        out_ += "]}";
        return true;
    }

    std::string take() { return std::move(out_); }

private:
    // Every key after an object's first.
    void field(std::string_view name) {
        out_ += ",\"";
        out_ += name;
        out_ += "\":";
    }

    void string(std::string_view text) { append_string(out_, text, escaping_); }
    void boolean(bool value) { out_ += value ? "true" : "false"; }

    void interception(const InterceptionSummary& s) {
        out_ += "{\"level\":";
        string(s.level);
        field("displayLevel");
        string(s.display_level);
        field("score");
        append_number(out_, s.score);
        field("signals");
        out_ += '[';
        for (std::size_t i = 0; i < s.signals.size(); ++i) {
            if (i != 0) out_ += ',';
            string(s.signals[i]);
        }
        out_ += ']';
        field("proxyLikeListeners");
        append_integer(out_, s.proxy_like_listeners);
        field("proxyCandidateProcesses");
        append_integer(out_, s.proxy_candidate_processes);
        field("protocolProxyListeners");
        append_integer(out_, s.protocol_proxy_listeners);
        field("protocolProxyProcesses");
        append_integer(out_, s.protocol_proxy_processes);
        field("driverHits");
        append_integer(out_, s.driver_hits);
        field("serviceHits");
        append_integer(out_, s.service_hits);
        field("routeSourceMismatch");
        boolean(s.route_source_mismatch);
        out_ += '}';
    }

    bool items(const std::vector<NodeItem>& rows, int depth) {
        out_ += '[';
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i != 0) out_ += ',';
            if (!item(rows[i], depth)) return false;
        }
        out_ += ']';
        return true;
    }

    bool item(const NodeItem& row, int depth) {
        out_ += "{\"id\":";
        string(row.id);
        field("k");
        string(row.k);
        field("v");
        string(row.v);
        field("status");
        string(row.status);
        field("meta");
        string(row.meta);
        field("role");
        string(row.role);
        field("probe");
        boolean(row.probe);
        field("detail");
        if (!row.detail) {
            out_ += "null}";
            return true;
        }
        if (depth >= kMaxDetailDepth) return false;
        const ItemDetail& detail = *row.detail;
        out_ += "{\"label\":";
        string(detail.label);
        field("sub");
        string(detail.sub);
        field("kind");
        string(detail.kind);
        field("status");
        string(detail.status);
        field("items");
        if (!items(detail.items, depth + 1)) return false;
        out_ += "}}";
        return true;
    }

    bool node(const GraphNode& n) {
        out_ += "{\"id\":";
        string(n.id);
        field("label");
        string(n.label);
        field("sub");
        string(n.sub);
        field("kind");
        string(n.kind);
        field("status");
        string(n.status);
        field("sel");
        boolean(n.sel);
        field("items");
        if (!items(n.items, 0)) return false;
        if (n.if_index) {
            field("ifIndex");
            append_integer(out_, *n.if_index);
        }
        if (n.layer) {
            field("layer");
            append_integer(out_, *n.layer);
        }
        if (n.process_id) {
            field("processId");
            append_integer(out_, *n.process_id);
        }
        if (n.layout_lane) {
            field("layoutLane");
            string(*n.layout_lane);
        }
        out_ += '}';
        return true;
    }

    void edge(const GraphEdge& e) {
        out_ += "{\"from\":";
        string(e.from);
        field("fromItem");
        string(e.from_item);
        field("to");
        string(e.to);
        field("kind");
        string(e.kind);
        field("dead");
        boolean(e.dead);
        field("bad");
        boolean(e.bad);
        field("confidence");
        append_number(out_, e.confidence);
        field("evidence");
        string(e.evidence);
        out_ += '}';
    }

    JsonEscaping escaping_;
    std::string out_;
};

} // namespace

std::optional<std::string> write_graph_json(const GraphDocument& doc, JsonEscaping escaping) {
    Writer writer(escaping);
    if (!writer.document(doc)) return std::nullopt;
    return writer.take();
}

std::string graph_json_text(const GraphDocument& doc) {
    auto text = write_graph_json(doc, JsonEscaping::standard);
    return text ? std::move(*text) : std::string(kEmptyGraphJson);
}

std::string graph_json_for_script(const GraphDocument& doc) {
    auto text = write_graph_json(doc, JsonEscaping::script);
    return text ? std::move(*text) : std::string(kEmptyGraphJson);
}

std::string json_number(double value) {
    std::string out;
    append_number(out, value);
    return out;
}

std::string json_string(std::string_view value, JsonEscaping escaping) {
    std::string out;
    append_string(out, value, escaping);
    return out;
}

} // namespace wirelux
