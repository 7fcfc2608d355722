// The buffers Windows calls fill, read by the converters that build on every platform: the socket
// owner tables, a Toolhelp process entry and the command-line buffer of NtQueryInformationProcess (the
// buffer's own address is 0x10000). The first byte picks the buffer.
#include "common/harness.h"
#include "platform/process_query.h"
#include "platform/socket_tables.h"
#include "util/utf.h"

namespace wirelux::fuzz {

using namespace platform;

namespace {

std::size_t whole_rows(std::string_view table, std::size_t row_size) {
    return table.size() < layout::kTableRowsOffset ? 0 : (table.size() - layout::kTableRowsOffset) / row_size;
}

} // namespace

void fuzz_one_input(std::string_view input) {
    const auto [selector, bytes] = take_selector(input);
    switch (selector % 6) {
    case 0:
        check(tcp_rows_from_table(bytes).size() <= whole_rows(bytes, layout::kTcpRow.size), "rows fit");
        break;
    case 1:
        check(tcp6_rows_from_table(bytes).size() <= whole_rows(bytes, layout::kTcp6Row.size), "rows fit");
        break;
    case 2:
        check(udp_rows_from_table(bytes).size() <= whole_rows(bytes, layout::kUdpRow.size), "rows fit");
        break;
    case 3:
        check(udp6_rows_from_table(bytes).size() <= whole_rows(bytes, layout::kUdp6Row.size), "rows fit");
        break;
    case 4:
        if (const auto process = process_from_toolhelp_entry(bytes))
            check(is_valid_utf8(process->name), "a process name is UTF-8");
        break;
    default:
        check(is_valid_utf8(counted_string_in_buffer(bytes, 0x10000)), "a command line is UTF-8");
        (void)read_pointer(bytes, bytes.size() / 2);
        break;
    }
}

} // namespace wirelux::fuzz
