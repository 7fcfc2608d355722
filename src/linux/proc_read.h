#pragma once
// Reading kernel-provided files and links, bounded: /proc and /sys report no sizes, and a file
// there can be endless.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <dirent.h>

namespace wirelux::platform {

// The file's first bytes, at most limit of them; absent when it cannot be opened or a read fails.
std::optional<std::string> read_proc_file(const std::string& path, std::size_t limit);

// The text of a symbolic link, however long; absent when it cannot be read. The name is taken
// relative to the directory, or to the working directory with AT_FDCWD (an absolute name ignores it).
std::optional<std::string> read_proc_link(int directory_fd, const char* name);

// An open directory stream, closed when it goes out of scope.
class DirStream {
public:
    explicit DirStream(DIR* dir) : dir_(dir) {}
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    ~DirStream() {
        if (dir_ != nullptr) ::closedir(dir_);
    }
    DIR* get() const { return dir_; }
    bool valid() const { return dir_ != nullptr; }

private:
    DIR* dir_;
};

// The process ids /proc lists, ascending; empty when /proc cannot be read.
std::vector<std::uint32_t> list_process_ids();

} // namespace wirelux::platform
