#include "run/report_file.h"

#include "platform/files.h"
#include "util/text.h"

#include <cstdio>

namespace wirelux {

namespace {

constexpr std::string_view kFilePrefix = "wirelux-report-";
// The report's line comes after an empty one.
constexpr std::string_view kReportLine = "\n  HTML report -> ";
constexpr std::string_view kRedactedReportLine = "\n  HTML report (redacted) -> ";
constexpr std::string_view kReportFailure = "\n  failed to write report: ";
constexpr std::string_view kJsonLine = "  JSON facts -> ";
constexpr std::string_view kJsonFailure = "  failed to write JSON: ";

// Writes the bytes under the name in the current directory; the message is the success or failure
// lead followed by the path or the error, and a line break.
ReportWrite write_beside(const std::string& name, std::string_view content, std::string_view success,
                         std::string_view failure) {
    ReportWrite result;
    result.file_name = name;
    const auto dir = platform::current_directory();
    result.path = dir ? platform::join_path(*dir, name) : name;
    if (const auto error = platform::write_whole_file(name, content)) {
        result.message = std::string(failure) + console_uncut(*error) + "\n";
    } else {
        result.ok = true;
        result.message = std::string(success) + console_uncut(result.path) + "\n";
    }
    return result;
}

} // namespace

std::string report_stamp(const platform::LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buffer;
}

std::string report_file_name(const platform::LocalTime& t) {
    return std::string(kFilePrefix) + report_stamp(t) + ".html";
}

std::string json_file_name(const platform::LocalTime& t) {
    return std::string(kFilePrefix) + report_stamp(t) + ".json";
}

ReportWrite write_report_file(std::string_view html, const platform::LocalTime& now, ReportValues values) {
    std::string content = "\xEF\xBB\xBF";
    content += html;
    return write_beside(report_file_name(now), content,
                        values == ReportValues::redacted ? kRedactedReportLine : kReportLine, kReportFailure);
}

ReportWrite write_json_file(std::string_view json, const platform::LocalTime& now) {
    return write_beside(json_file_name(now), json, kJsonLine, kJsonFailure);
}

} // namespace wirelux
