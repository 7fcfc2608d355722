// The body of the srun portal's rad_user_info answer: JSON, JSONP or the comma-separated form.
#include "common/harness.h"
#include "probe/campus_probes.h"
#include "util/utf.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const CampusLogin login = parse_login_status(input);
    // Bodies arrive with invalid UTF-8 replaced; from such a body every field is UTF-8 too.
    if (is_valid_utf8(input)) {
        check(is_valid_utf8(login.user_name) && is_valid_utf8(login.online_ip) && is_valid_utf8(login.sum_bytes) &&
                  is_valid_utf8(login.sum_seconds),
              "fields are UTF-8");
    }
}

} // namespace wirelux::fuzz
