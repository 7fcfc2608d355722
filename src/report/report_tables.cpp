#include "report/report_tables.h"

#include "util/text.h"

namespace wirelux {

std::string render_table(const std::vector<std::string>& headers, const TableRows& rows) {
    if (rows.empty()) return R"(<div class="empty">no data</div>)";
    std::string out;
    std::size_t estimate = 64;
    for (const std::string& header : headers)
        estimate += header.size() + 9;
    for (const std::vector<std::string>& row : rows) {
        estimate += 9;
        for (const std::string& cell : row)
            estimate += cell.size() + 9;
    }
    out.reserve(estimate + estimate / 8);
    out += "<table><thead><tr>";
    for (const std::string& header : headers) {
        out += "<th>";
        out += html_escape(header);
        out += "</th>";
    }
    out += "</tr></thead><tbody>";
    for (const std::vector<std::string>& row : rows) {
        out += "<tr>";
        for (std::size_t i = 0; i < headers.size(); ++i) {
            out += "<td>";
            if (i < row.size()) out += html_escape(row[i]);
            out += "</td>";
        }
        out += "</tr>";
    }
    out += "</tbody></table>";
    return out;
}

std::string render_section(std::string_view summary, std::string_view body) {
    std::string out;
    out.reserve(summary.size() + body.size() + 64);
    out += "<details><summary>";
    out += html_escape(summary);
    out += R"(</summary><div class="dbody">)";
    out += body;
    out += "</div></details>";
    return out;
}

std::string render_evidence_sections(const FactSnapshot& snapshot) {
    std::string out;
    report_detail::append_fact_sections(out, snapshot);
    report_detail::append_assessment_sections(out, snapshot);
    return out;
}

} // namespace wirelux
