// A stand-in for a system program, planted by lab tests beside the exe under that program's name
// (netsh.exe, cmd.exe): when it runs, it leaves "<its own path>.ran" holding its command line, and
// answers on standard output so that its text would show where it was used.
#include <windows.h>

#include <cwchar>
#include <string>

int main() {
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) return 1;
    path.resize(n);
    const HANDLE mark = ::CreateFileW((path + L".ran").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
        const wchar_t* line = ::GetCommandLineW();
        DWORD written = 0;
        ::WriteFile(mark, line, static_cast<DWORD>(std::wcslen(line) * sizeof(wchar_t)), &written, nullptr);
        ::CloseHandle(mark);
    }
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), "PLANTED PROGRAM RAN\r\n", 21, &written, nullptr);
    return 0;
}
