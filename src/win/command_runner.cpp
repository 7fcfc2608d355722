#include "platform/command_runner.h"

#include "win/handle.h"

#include <thread>

namespace wirelux::platform {

namespace {

// Reads until end of file; a broken pipe counts as the end.
void drain(HANDLE pipe, std::string& sink) {
    char buffer[16384];
    while (true) {
        DWORD n = 0;
        if (!::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) || n == 0) return;
        sink.append(buffer, n);
    }
}

bool make_pipe(UniqueHandle& read_end, UniqueHandle& write_end) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!::CreatePipe(&r, &w, &sa, 0)) return false;
    read_end.reset(r);
    write_end.reset(w);
    // Only the child's end is inherited.
    return ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0) != 0;
}

} // namespace

std::string run_netsh(std::string_view arg1, std::string_view arg2, std::string_view arg3) {
    UniqueHandle out_read, out_write, err_read, err_write;
    if (!make_pipe(out_read, out_write) || !make_pipe(err_read, err_write)) return {};
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    UniqueHandle null_in(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!null_in.valid()) return {};

    std::wstring command = L"netsh";
    for (std::string_view arg : {arg1, arg2, arg3}) command += L" " + quote_argument(widen(arg));

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = null_in.get();
    si.hStdOutput = out_write.get();
    si.hStdError = err_write.get();
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                          &pi))
        return {};
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    // Our copies of the child's ends must go, or the reads would never see end of file.
    out_write.reset();
    err_write.reset();
    null_in.reset();

    std::string out, err;
    {
        std::thread err_reader([&] { drain(err_read.get(), err); });
        drain(out_read.get(), out);
        err_reader.join();
    }
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return {};
    DWORD exit_code = 0;
    ::GetExitCodeProcess(process.get(), &exit_code);
    return choose_command_text(out, err);
}

} // namespace wirelux::platform
