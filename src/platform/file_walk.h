#pragma once
// Directory listing, a bounded recursive file walk and a bounded file read, for the scan of installed
// software. Unreadable directories and files are skipped silently.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform {

struct FoundFile {
    std::string path; // the directory walked joined with the relative path
    std::string name; // the file name alone
};

// A walk never reports more files than this, so a huge tree cannot stall collection.
inline constexpr std::size_t kMaxWalkedFiles = 10'000;

// Names of the immediate subdirectories of a directory, in the order the system lists them.
std::vector<std::string> list_subdirectories(std::string_view directory);

// Regular files under the directory whose extension is one of the given lower-case extensions. The
// directory's own files are at depth 1, those of its subdirectories at depth 2, and so on down to
// max_depth. Links to directories are not followed, so a loop cannot be walked.
std::vector<FoundFile> walk_files(std::string_view directory, int max_depth,
                                  const std::vector<std::string>& extensions);

// At most limit bytes from the start of the file; absent when it cannot be opened or read.
std::optional<std::string> read_file_prefix(std::string_view path, std::size_t limit);

// --- Name tests shared by both walks.

// The text after the last "." of the file name; empty when it has no ".".
std::string_view file_extension(std::string_view file_name);

// The file name without its final extension (the whole name when it has none).
std::string_view file_stem(std::string_view file_name);

// True when the file's extension, compared case-insensitively, is one of the lower-case extensions.
bool has_listed_extension(std::string_view file_name, const std::vector<std::string>& extensions);

} // namespace wirelux::platform
