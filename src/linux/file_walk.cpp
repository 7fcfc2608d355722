#include "platform/file_walk.h"

#include "linux/proc_read.h"
#include "linux/unique_fd.h"
#include "platform/files.h"
#include "util/utf.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace wirelux::platform {

namespace {

enum class EntryKind { Directory, File, Other };

// Symbolic links count as what they point to, except that a link to a directory is never a
// directory here: following it could walk a loop.
EntryKind kind_of(const std::string& path, unsigned char d_type) {
    if (d_type == DT_DIR) return EntryKind::Directory;
    if (d_type == DT_REG) return EntryKind::File;
    struct stat info {};
    if (d_type == DT_LNK)
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Other;
    if (::lstat(path.c_str(), &info) != 0) return EntryKind::Other;
    if (S_ISDIR(info.st_mode)) return EntryKind::Directory;
    if (S_ISREG(info.st_mode)) return EntryKind::File;
    if (S_ISLNK(info.st_mode)) return kind_of(path, DT_LNK);
    return EntryKind::Other;
}

struct DirectoryEntry {
    std::string name;
    EntryKind kind;
};

std::vector<DirectoryEntry> list_directory(std::string_view directory) {
    std::vector<DirectoryEntry> entries;
    if (directory.empty()) return entries;
    const std::string base(directory);
    DirStream dir(::opendir(base.c_str()));
    if (!dir.valid()) return entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        entries.push_back({std::string(name), kind_of(join_path(base, name), entry->d_type)});
    }
    return entries;
}

void walk(const std::string& directory, int depth, int max_depth, const std::vector<std::string>& extensions,
          std::vector<FoundFile>& found) {
    for (const DirectoryEntry& entry : list_directory(directory)) {
        if (found.size() >= kMaxWalkedFiles) return;
        const std::string path = join_path(directory, entry.name);
        if (entry.kind == EntryKind::Directory) {
            if (depth < max_depth) walk(path, depth + 1, max_depth, extensions, found);
        } else if (entry.kind == EntryKind::File && has_listed_extension(entry.name, extensions)) {
            found.push_back({path, sanitize_utf8(entry.name)});
        }
    }
}

} // namespace

std::vector<std::string> list_subdirectories(std::string_view directory) {
    std::vector<std::string> names;
    for (DirectoryEntry& entry : list_directory(directory))
        if (entry.kind == EntryKind::Directory) names.push_back(std::move(entry.name));
    return names;
}

std::vector<FoundFile> walk_files(std::string_view directory, int max_depth,
                                  const std::vector<std::string>& extensions) {
    std::vector<FoundFile> found;
    if (max_depth >= 1) walk(std::string(directory), 1, max_depth, extensions, found);
    return found;
}

std::optional<std::string> read_file_prefix(std::string_view path, std::size_t limit) {
    // Non-blocking, so that a FIFO that carries a listed extension cannot stall the scan.
    UniqueFd fd(::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string bytes;
    std::size_t used = 0;
    while (used < limit) {
        const std::size_t chunk = std::min<std::size_t>(limit - used, 64 * 1024);
        bytes.resize(used + chunk);
        const ssize_t n = ::read(fd.get(), bytes.data() + used, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

} // namespace wirelux::platform
