#include "platform/console.h"

#include "linux/unique_fd.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace wirelux::platform {

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void console_setup() {
    // Terminals take UTF-8 as it is. A closed reader ("wirelux | head") must not end the run before the
    // report is written: without the signal a write to it fails with EPIPE, which is ignored like any
    // other failed console write.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

void write_stdout(std::string_view bytes) { write_all(STDOUT_FILENO, bytes.data(), bytes.size()); }

void write_stderr(std::string_view bytes) { write_all(STDERR_FILENO, bytes.data(), bytes.size()); }

void flush_stdout() {} // writes are unbuffered

} // namespace wirelux::platform
