#include "report/report_page.h"

#include "util/text.h"

namespace wirelux {

std::string render_report(const FactSnapshot& s) {
    std::string page;
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    page += "<title>WireLux report - " + html_escape(s.computer_name) + "</title>\n</head>\n<body>\n";
    page += "<h1>WireLux network report</h1>\n<ul>\n";
    page += "<li>Computer: " + html_escape(s.computer_name) + "</li>\n";
    page += "<li>OS: " + html_escape(s.os_name) + "</li>\n";
    page += "<li>Collected: " + html_escape(s.collected_at) + "</li>\n";
    page += "</ul>\n</body>\n</html>\n";
    return page;
}

} // namespace wirelux
