#pragma once
// The evidence below the egress chain: collapsible sections holding the fact tables and the
// assessment tables. Cells hold plain text; escaping happens once, when a table is rendered.

#include "model/snapshot.h"

#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

using TableRows = std::vector<std::vector<std::string>>;

// A table, or the "no data" note when there are no rows. A row is cut or padded to the header count
// so that a short row cannot shift the columns after it.
std::string render_table(const std::vector<std::string>& headers, const TableRows& rows);

// A collapsed details element with the summary text and the body markup.
std::string render_section(std::string_view summary, std::string_view body);

// render_section(summary, render_table(headers, rows)) appended to out, without the two
// intermediate copies: the listener table of a busy host runs to megabytes.
void append_table_section(std::string& out, std::string_view summary, const std::vector<std::string>& headers,
                          const TableRows& rows);

// The twelve fact sections, then the six assessment sections, each followed by a line break.
std::string render_evidence_sections(const FactSnapshot& snapshot);

// Pieces shared by the two groups of sections.
namespace report_detail {
void append_fact_sections(std::string& out, const FactSnapshot& snapshot);
void append_assessment_sections(std::string& out, const FactSnapshot& snapshot);
} // namespace report_detail

} // namespace wirelux
