#pragma once
// Reading /proc files and links whole.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <dirent.h>

namespace wirelux::platform {

// The file's bytes up to limit; absent when it cannot be opened or read.
std::optional<std::string> read_proc_file(const std::string& path, std::size_t limit);

// The text of a symbolic link, however long; absent when it cannot be read.
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
