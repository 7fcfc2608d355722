#include "platform/console.h"

#include "platform/chunked_write.h"
#include "win/handle.h"

#include <vector>

namespace wirelux::platform {

void console_setup() { ::SetConsoleOutputCP(CP_UTF8); }

namespace {

bool usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// An msys or cygwin terminal hands its programs a named pipe rather than a console.
bool is_pty_pipe(HANDLE h) {
    if (::GetFileType(h) != FILE_TYPE_PIPE) return false;
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(h, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) return false;
    return is_msys_pty_pipe_name(narrow(info->FileName, info->FileNameLength / sizeof(wchar_t)));
}

void write_handle(DWORD which, std::string_view bytes) {
    HANDLE h = ::GetStdHandle(which);
    if (!usable(h) || bytes.empty()) return;
    DWORD mode = 0;
    if (::GetConsoleMode(h, &mode)) {
        // A console takes UTF-16 through WriteConsoleW whatever its code page.
        const std::wstring wide = widen(bytes);
        write_in_chunks(
            wide.size(),
            [&](std::size_t offset) { return utf16_piece_length(std::wstring_view(wide).substr(offset), 16384); },
            [&](std::size_t offset, std::size_t count) -> std::optional<std::size_t> {
                DWORD written = 0;
                if (!::WriteConsoleW(h, wide.data() + offset, static_cast<DWORD>(count), &written, nullptr))
                    return std::nullopt;
                return written;
            });
        return;
    }
    write_in_chunks(
        bytes.size(), [&](std::size_t offset) { return std::min<std::size_t>(bytes.size() - offset, 1 << 20); },
        [&](std::size_t offset, std::size_t count) -> std::optional<std::size_t> {
            DWORD written = 0;
            if (!::WriteFile(h, bytes.data() + offset, static_cast<DWORD>(count), &written, nullptr))
                return std::nullopt;
            return written;
        });
}

} // namespace

bool stderr_is_terminal() {
    HANDLE h = ::GetStdHandle(STD_ERROR_HANDLE);
    if (!usable(h)) return false;
    DWORD mode = 0;
    if (::GetConsoleMode(h, &mode)) return true;
    return is_pty_pipe(h);
}

void write_stdout(std::string_view bytes) { write_handle(STD_OUTPUT_HANDLE, bytes); }
void write_stderr(std::string_view bytes) { write_handle(STD_ERROR_HANDLE, bytes); }
void flush_stdout() {}

} // namespace wirelux::platform
