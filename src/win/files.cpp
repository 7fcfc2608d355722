#include "platform/files.h"

#include "platform/chunked_write.h"
#include "win/handle.h"

#include <objbase.h>
#include <shellapi.h>

namespace wirelux::platform {

std::optional<std::string> current_directory() {
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return std::nullopt;
    std::wstring dir(n, L'\0');
    const DWORD m = ::GetCurrentDirectoryW(n, dir.data());
    if (m == 0 || m >= n) return std::nullopt;
    dir.resize(m);
    return narrow(dir);
}

std::string join_path(std::string_view directory, std::string_view file_name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path.push_back('\\');
    path += file_name;
    return path;
}

std::optional<std::string> write_whole_file(std::string_view path, std::string_view bytes) {
    UniqueHandle file(::CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return error_text(::GetLastError());
    DWORD error = ERROR_SUCCESS;
    const bool written_all = write_in_chunks(
        bytes.size(), [&](std::size_t offset) { return std::min<std::size_t>(bytes.size() - offset, 1 << 20); },
        [&](std::size_t offset, std::size_t count) -> std::optional<std::size_t> {
            DWORD written = 0;
            if (!::WriteFile(file.get(), bytes.data() + offset, static_cast<DWORD>(count), &written, nullptr)) {
                error = ::GetLastError();
                return std::nullopt;
            }
            if (written == 0) error = ERROR_WRITE_FAULT; // success without progress
            return written;
        });
    if (!written_all) return error_text(error);
    // Data still on its way to the disk can fail at the close.
    if (!::CloseHandle(file.release())) return error_text(::GetLastError());
    return std::nullopt;
}

namespace {

// The current directory as the system names it (a lone surrogate included) joined with the file name;
// the bare name when the directory cannot be determined.
std::wstring native_path_in_current_directory(std::string_view file_name) {
    const std::wstring name = widen(file_name);
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return name;
    std::wstring dir(n, L'\0');
    const DWORD m = ::GetCurrentDirectoryW(n, dir.data());
    if (m == 0 || m >= n) return name;
    dir.resize(m);
    if (dir.back() != L'\\' && dir.back() != L'/') dir.push_back(L'\\');
    return dir + name;
}

} // namespace

void open_in_current_directory(std::string_view file_name) {
    // The shell's own "open" of the file: no command interpreter reads the path, so a folder named
    // "a&b", "%x%" or "^," is only a name. The shell may hand the work to extensions that need COM, and
    // the program ends soon after, so the call waits until the handler has been started.
    const std::wstring path = native_path_in_current_directory(file_name);
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&info);
    if (SUCCEEDED(com)) ::CoUninitialize();
}

} // namespace wirelux::platform
