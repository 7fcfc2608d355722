#include "platform/command_runner.h"

#include "win/handle.h"

#include <array>
#include <climits>

namespace wirelux::platform {

namespace {

bool make_pipe(UniqueHandle& read_end, UniqueHandle& write_end) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!::CreatePipe(&r, &w, &sa, 0)) return false;
    read_end.reset(r);
    write_end.reset(w);
    // Only the child's end is inherited.
    return ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0) != 0;
}

// One pass over a pipe: reads what is waiting without blocking. False once the pipe has ended (end of
// file or broken pipe, as when the writer has gone).
bool read_available(HANDLE pipe, std::string& sink) {
    DWORD waiting = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return false;
    char buffer[16384];
    while (waiting > 0) {
        DWORD n = 0;
        if (!::ReadFile(pipe, buffer, waiting < sizeof buffer ? waiting : DWORD{sizeof buffer}, &n,
                        nullptr) ||
            n == 0)
            return false;
        sink.append(buffer, n);
        waiting -= n < waiting ? n : waiting;
    }
    return true;
}

// A job that ends the child and whatever it starts when it is closed; absent where jobs are refused
// (then only the child itself is ended).
UniqueHandle kill_on_close_job() {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job.valid()) return {};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return {};
    return job;
}

// A bare name is a system program and is taken from the system directory by its full path, ".exe"
// added when the name has none. It is never searched for: that search looks in this program's own
// folder and the current folder first, where anything may have been put under a system program's name.
std::optional<std::wstring> program_path(const std::string& program) {
    const std::wstring name = widen(program);
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
    std::wstring directory(MAX_PATH, L'\0');
    UINT n = ::GetSystemDirectoryW(directory.data(), static_cast<UINT>(directory.size()));
    if (n >= directory.size()) {
        directory.resize(n);
        n = ::GetSystemDirectoryW(directory.data(), static_cast<UINT>(directory.size()));
    }
    if (n == 0 || n >= directory.size()) return std::nullopt;
    directory.resize(n);
    std::wstring path = directory + L"\\" + name;
    if (name.find(L'.') == std::wstring::npos) path += L".exe";
    return path;
}

} // namespace

std::optional<CommandOutput> run_program(const std::string& program, const std::vector<std::string>& args,
                                         unsigned timeout_ms, std::size_t output_cap) {
    UniqueHandle out_read, out_write, err_read, err_write;
    if (!make_pipe(out_read, out_write) || !make_pipe(err_read, err_write)) return std::nullopt;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    UniqueHandle null_in(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!null_in.valid()) return std::nullopt;

    const auto application = program_path(program);
    if (!application) return std::nullopt;
    std::wstring command = quote_argument(*application);
    for (const std::string& arg : args)
        command += L" " + quote_argument(widen(arg));

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = null_in.get();
    si.hStdOutput = out_write.get();
    si.hStdError = err_write.get();
    PROCESS_INFORMATION pi{};
    // Suspended until it is in the job, so nothing it starts can escape the job.
    if (!::CreateProcessW(application->c_str(), command.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    UniqueHandle job = kill_on_close_job();
    if (job.valid() && !::AssignProcessToJobObject(job.get(), process.get())) job.reset();
    ::ResumeThread(thread.get());
    // Our copies of the child's ends must go, or the pipes would never end.
    out_write.reset();
    err_write.reset();
    null_in.reset();

    // Both pipes are polled in one loop, so a child that fills one cannot deadlock against a reader
    // waiting on the other, and the deadline holds even when a pipe never ends.
    const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
    CommandOutput result;
    std::array<HANDLE, 2> pipes{out_read.get(), err_read.get()};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    std::array<bool, 2> open{true, true};
    bool complete = true;
    while (open[0] || open[1]) {
        std::size_t before = result.out.size() + result.err.size();
        for (std::size_t k = 0; k < pipes.size(); ++k)
            if (open[k] && !read_available(pipes[k], *sinks[k])) open[k] = false;
        if (result.out.size() > output_cap || result.err.size() > output_cap ||
            ::GetTickCount64() >= deadline) {
            complete = false;
            break;
        }
        if (result.out.size() + result.err.size() == before && (open[0] || open[1])) ::Sleep(5);
    }
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = complete && now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (!complete || ::WaitForSingleObject(process.get(), left) != WAIT_OBJECT_0) {
        if (job.valid())
            ::TerminateJobObject(job.get(), 1);
        else
            ::TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> decode_code_page(std::string_view bytes, unsigned code_page) {
    if (bytes.empty()) return std::string();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (::MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), n) != n) return std::nullopt;
    return narrow(wide);
}

std::optional<std::string> decode_console_code_page(std::string_view bytes) {
    // A child started with CREATE_NO_WINDOW gets a console of its own in the OEM code page.
    return decode_code_page(bytes, ::GetOEMCP());
}

} // namespace wirelux::platform
