#pragma once
// The report file: named by the local time, written with a UTF-8 byte-order mark; and beside it, with
// the same stamp, the JSON facts.

#include "platform/clock.h"
#include "report/report_page.h"

#include <string>
#include <string_view>

namespace wirelux {

// "YYYYMMDD-hhmmss"
std::string report_stamp(const platform::LocalTime& t);

// "wirelux-report-" + stamp + ".html"
std::string report_file_name(const platform::LocalTime& t);

// "wirelux-report-" + stamp + ".json"
std::string json_file_name(const platform::LocalTime& t);

// Writes the page into the current directory (by its native name, so a directory whose name is not
// valid text still takes it) and returns the two lines the driver prints: an empty line, then
// "  HTML report -> <path>" (on a redacted run "  HTML report (redacted) -> <path>") or
// "  failed to write report: <error>". The path is printed with its control characters replaced.
struct ReportWrite {
    std::string file_name; // in the current directory
    std::string path;      // the full path as text, for showing it
    bool ok = false;
    std::string message;
};
ReportWrite write_report_file(std::string_view html, const platform::LocalTime& now,
                              ReportValues values = ReportValues::as_collected);

// Writes the JSON document (no byte-order mark) beside the report and returns the line the driver
// prints after the report line: "  JSON facts -> <path>" or "  failed to write JSON: <error>".
ReportWrite write_json_file(std::string_view json, const platform::LocalTime& now);

} // namespace wirelux
