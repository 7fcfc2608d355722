#include "report/report_tables.h"

#include "util/text.h"

#include <algorithm>

namespace wirelux {

namespace {

// The characters html_escape replaces. A plain loop: find_first_of with a set costs one library call
// per character, which dominated the rendering of large tables.
bool needs_escape(std::string_view text) {
    for (const char c : text)
        if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return true;
    return false;
}

// Most cells hold nothing to escape; those are copied straight into the page instead of through a
// temporary per cell.
void append_escaped(std::string& out, std::string_view text) {
    if (!needs_escape(text)) {
        out += text;
    } else {
        out += html_escape(text);
    }
}

void append_table(std::string& out, const std::vector<std::string>& headers, const TableRows& rows) {
    if (rows.empty()) {
        out += R"(<div class="empty">no data</div>)";
        return;
    }
    std::size_t estimate = 64;
    for (const std::string& header : headers)
        estimate += header.size() + 9;
    for (const std::vector<std::string>& row : rows) {
        estimate += 9;
        for (const std::string& cell : row)
            estimate += cell.size() + 9;
    }
    // Grows geometrically: the sections are appended one after another to the same text.
    const std::size_t needed = out.size() + estimate + estimate / 8;
    if (needed > out.capacity()) out.reserve(std::max(needed, 2 * out.capacity()));
    out += "<table><thead><tr>";
    for (const std::string& header : headers) {
        out += "<th>";
        append_escaped(out, header);
        out += "</th>";
    }
    out += "</tr></thead><tbody>";
    for (const std::vector<std::string>& row : rows) {
        out += "<tr>";
        for (std::size_t i = 0; i < headers.size(); ++i) {
            out += "<td>";
            if (i < row.size()) append_escaped(out, row[i]);
            out += "</td>";
        }
        out += "</tr>";
    }
    out += "</tbody></table>";
}

void open_section(std::string& out, std::string_view summary) {
    out += "<details><summary>";
    append_escaped(out, summary);
    out += R"(</summary><div class="dbody">)";
}

void close_section(std::string& out) {
    out += "</div></details>";
}

} // namespace

std::string render_table(const std::vector<std::string>& headers, const TableRows& rows) {
    std::string out;
    append_table(out, headers, rows);
    return out;
}

std::string render_section(std::string_view summary, std::string_view body) {
    std::string out;
    out.reserve(summary.size() + body.size() + 64);
    open_section(out, summary);
    out += body;
    close_section(out);
    return out;
}

void append_table_section(std::string& out, std::string_view summary, const std::vector<std::string>& headers,
                          const TableRows& rows) {
    open_section(out, summary);
    append_table(out, headers, rows);
    close_section(out);
}

std::string render_evidence_sections(const FactSnapshot& snapshot) {
    std::string out;
    report_detail::append_fact_sections(out, snapshot);
    report_detail::append_assessment_sections(out, snapshot);
    return out;
}

} // namespace wirelux
