#pragma once
// The report file: named by the local time, written with a UTF-8 byte-order mark.

#include "platform/clock.h"

#include <string>
#include <string_view>

namespace wirelux {

// "YYYYMMDD-hhmmss"
std::string report_stamp(const platform::LocalTime& t);

// "wirelux-report-" + stamp + ".html"
std::string report_file_name(const platform::LocalTime& t);

// Writes the page beside the current directory's other files and returns the two lines the driver
// prints: an empty line, then "  HTML report -> <path>" or "  failed to write report: <error>".
struct ReportWrite {
    std::string path;
    bool ok = false;
    std::string message;
};
ReportWrite write_report_file(std::string_view html, const platform::LocalTime& now);

} // namespace wirelux
