#include "run/report_file.h"

#include "platform/files.h"

#include <cstdio>

namespace wirelux {

std::string report_stamp(const platform::LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buffer;
}

std::string report_file_name(const platform::LocalTime& t) { return "wirelux-report-" + report_stamp(t) + ".html"; }

ReportWrite write_report_file(std::string_view html, const platform::LocalTime& now) {
    ReportWrite result;
    const std::string name = report_file_name(now);
    const auto dir = platform::current_directory();
    result.path = dir ? platform::join_path(*dir, name) : name;

    std::string content = "\xEF\xBB\xBF";
    content += html;
    if (const auto error = platform::write_whole_file(result.path, content)) {
        result.message = "\n  failed to write report: " + *error + "\n";
    } else {
        result.ok = true;
        result.message = "\n  HTML report -> " + result.path + "\n";
    }
    return result;
}

} // namespace wirelux
