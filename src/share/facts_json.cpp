#include "share/facts_json.h"

#include "graph/graph_json.h"
#include "share/snapshot_fields.h"

#include <concepts>
#include <optional>
#include <type_traits>

namespace wirelux {

namespace {

template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};

class FactsWriter {
public:
    template <class T> void operator()(std::string_view key, const T& member) {
        if constexpr (IsOptional<T>::value) {
            if (!member) return;
            key_(key);
            value(*member);
        } else {
            key_(key);
            value(member);
        }
    }

    template <class T> void value(const T& v) {
        if constexpr (std::same_as<T, std::string>) {
            out_ += json_string(v);
        } else if constexpr (std::same_as<T, bool>) {
            out_ += v ? "true" : "false";
        } else if constexpr (std::floating_point<T>) {
            out_ += json_number(v);
        } else if constexpr (std::integral<T>) {
            out_ += std::to_string(+v);
        } else if constexpr (SnapshotRecord<T>) {
            open('{');
            visit_fields(v, *this);
            close('}');
        } else if constexpr (requires { typename T::mapped_type; }) {
            open('{');
            for (const auto* entry : sorted_entries(v)) {
                if constexpr (std::same_as<typename T::key_type, std::string>) {
                    key_(entry->first);
                } else {
                    key_(std::to_string(entry->first));
                }
                value(entry->second);
            }
            close('}');
        } else {
            open('[');
            for (const auto& element : v) {
                if (!first_.back()) out_ += ',';
                first_.back() = false;
                value(element);
            }
            close(']');
        }
    }

    std::string take() { return std::move(out_); }

private:
    void key_(std::string_view key) {
        if (!first_.back()) out_ += ',';
        first_.back() = false;
        out_ += json_string(key);
        out_ += ':';
    }

    void open(char bracket) {
        out_ += bracket;
        first_.push_back(true);
    }

    void close(char bracket) {
        out_ += bracket;
        first_.pop_back();
    }

    std::string out_;
    std::vector<bool> first_{true};
};

} // namespace

std::string facts_json(const FactSnapshot& snapshot) {
    FactsWriter writer;
    writer.value(snapshot);
    return writer.take();
}

std::string facts_json_document(const FactSnapshot& snapshot, const GraphDocument& graph) {
    std::string out = "{\"schema\":";
    out += json_string(kFactsJsonSchema);
    out += ",\"facts\":";
    out += facts_json(snapshot);
    out += ",\"graph\":";
    out += graph_json_text(graph);
    out += "}\n";
    return out;
}

} // namespace wirelux
