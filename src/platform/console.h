#pragma once
// Console streams. Standard output carries the summary, standard error the progress meter and
// timing lines; both are written as raw UTF-8 bytes.

#include <string_view>

namespace wirelux::platform {

// Switches the console output code page to UTF-8 where there is a console, and makes a write to a
// closed pipe a failed write rather than the end of the process; failure is ignored.
void console_setup();

// True when standard error is an interactive terminal (a console, or an msys/cygwin pty pipe).
bool stderr_is_terminal();

// Writes all bytes; a failed write is ignored. Neither call adds a line break.
void write_stdout(std::string_view bytes);
void write_stderr(std::string_view bytes);
void flush_stdout();

// The msys/cygwin pty rule: the last "\"-separated component of a pipe's name begins with
// "msys-" or "cygwin-" and contains "-pty".
bool is_msys_pty_pipe_name(std::string_view pipe_name);

} // namespace wirelux::platform
