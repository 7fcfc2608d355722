#include "linux/spawn.h"

#include "linux/unique_fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace wirelux::platform {

namespace {

std::vector<char*> make_argv(const std::string& program, const std::vector<std::string>& args,
                             std::vector<std::string>& storage) {
    storage.clear();
    storage.push_back(program);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

class SpawnActions {
public:
    SpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attributes_) == 0; }
    ~SpawnAttributes() {
        if (ok_) ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    bool ok() const { return ok_; }
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

// The run ignores SIGPIPE and an ignored signal stays ignored across exec; a child gets the default
// back, as it would from a shell.
void default_broken_pipe_signal(posix_spawnattr_t* attributes) {
    sigset_t defaults;
    ::sigemptyset(&defaults);
    ::sigaddset(&defaults, SIGPIPE);
    ::posix_spawnattr_setsigdefault(attributes, &defaults);
}

bool make_pipe(UniqueFd& read_end, UniqueFd& write_end) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    read_end.reset(fds[0]);
    write_end.reset(fds[1]);
    return true;
}

} // namespace

std::optional<std::string> find_in_path(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? std::optional(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        // An empty or relative entry names the current directory, which may hold anything: skipped.
        if (!dir.starts_with('/')) {
            if (colon == std::string_view::npos) break;
            dirs.remove_prefix(colon + 1);
            continue;
        }
        std::string candidate;
        candidate.reserve(dir.size() + 1 + name.size());
        candidate.append(dir).append("/").append(name);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

std::optional<CapturedOutput> run_and_capture(const std::string& program,
                                              const std::vector<std::string>& args, unsigned timeout_ms,
                                              std::size_t output_cap) {
    UniqueFd out_read, out_write, err_read, err_write;
    if (!make_pipe(out_read, out_write) || !make_pipe(err_read, err_write)) return std::nullopt;
    SpawnActions actions;
    SpawnAttributes attributes;
    if (!actions.ok() || !attributes.ok()) return std::nullopt;
    ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.get(), out_write.get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(actions.get(), err_write.get(), STDERR_FILENO);
    ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    ::posix_spawnattr_setpgroup(attributes.get(), 0);
    default_broken_pipe_signal(attributes.get());

    std::vector<std::string> storage;
    std::vector<char*> argv = make_argv(program, args, storage);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv.data(), environ) != 0)
        return std::nullopt;
    out_write.reset();
    err_write.reset();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    CapturedOutput result;
    std::array<pollfd, 2> fds{{{out_read.get(), POLLIN, 0}, {err_read.get(), POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    char buffer[65536];
    bool complete = true;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            complete = false;
            break;
        }
        const int ready =
            ::poll(fds.data(), fds.size(), static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready < 0) {
            if (errno == EINTR) continue;
            complete = false;
            break;
        }
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, static_cast<std::size_t>(n));
                if (sinks[k]->size() > output_cap) complete = false;
            } else if (n == 0 || errno != EINTR) {
                fds[k].fd = -1; // end of file, or a broken stream counts as its end
            }
        }
        if (!complete) break;
    }
    // A child may close its streams and go on running: the deadline bounds its whole life, not only
    // its output.
    int status = 0;
    while (complete) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) {
            complete = false;
            break;
        }
        ::usleep(5000);
    }
    if (!complete) {
        // The child is not reaped yet, so its group id still names only what it started.
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) return std::nullopt;
        }
        return std::nullopt;
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool spawn_detached(const std::string& program, const std::vector<std::string>& args) {
    SpawnActions actions;
    SpawnAttributes attributes;
    if (!actions.ok() || !attributes.ok()) return false;
    ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
    default_broken_pipe_signal(attributes.get());
    std::vector<std::string> storage;
    std::vector<char*> argv = make_argv(program, args, storage);
    pid_t pid = -1;
    return ::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv.data(), environ) == 0;
}

} // namespace wirelux::platform
