#include "platform/clock.h"
#include "platform/process_env.h"

#include "util/utf.h"
#include "win/handle.h"

namespace wirelux::platform {

void record_main_arguments(int, char**) {} // the wide command line is read from the system

std::vector<std::string> command_line_tokens() {
    const wchar_t* line = ::GetCommandLineW();
    if (line == nullptr) return {};
    return split_windows_command_line(narrow(line, wcslen(line)));
}

std::optional<std::string> environment_variable(std::string_view name) {
    const std::wstring wide_name = widen(name);
    std::wstring value(256, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            value.clear(); // present and empty
            break;
        }
        if (n < value.size()) {
            value.resize(n);
            break;
        }
        value.assign(n, L'\0'); // n includes the terminating zero here
        if (attempt == 3) return std::nullopt;
    }
    const std::u16string units(value.begin(), value.end());
    if (!is_valid_utf16(units)) return std::nullopt;
    return utf16_to_utf8(units);
}

unsigned logical_processor_count() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

// Windows reports an unset COMPUTERNAME as "localhost", so there is no further fallback here.
std::optional<std::string> host_name() { return std::nullopt; }

unsigned ui_language() { return ::GetUserDefaultUILanguage(); }

std::optional<std::string> os_release_text() { return std::nullopt; }

LocalTime local_time() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

} // namespace wirelux::platform
