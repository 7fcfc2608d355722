#include "platform/file_walk.h"

#include "platform/files.h"
#include "win/handle.h"

#include <cstdint>

namespace wirelux::platform {

namespace {

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (valid()) ::FindClose(h_);
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

struct DirectoryEntry {
    std::string name;
    DWORD attributes = 0;
};

std::vector<DirectoryEntry> list_directory(std::string_view directory) {
    std::vector<DirectoryEntry> entries;
    if (directory.empty()) return entries;
    WIN32_FIND_DATAW data{};
    FindHandle find(::FindFirstFileExW(widen(join_path(directory, "*")).c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0));
    if (!find.valid()) return entries;
    do {
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..") continue;
        entries.push_back({narrow(data.cFileName, name.size()), data.dwFileAttributes});
    } while (::FindNextFileW(find.get(), &data));
    return entries;
}

void walk(const std::string& directory, int depth, int max_depth, const std::vector<std::string>& extensions,
          std::vector<FoundFile>& found) {
    for (const DirectoryEntry& entry : list_directory(directory)) {
        if (found.size() >= kMaxWalkedFiles) return;
        const std::string path = join_path(directory, entry.name);
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // Junctions and symbolic links to directories can form loops; they are not entered.
            if (depth < max_depth && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
                walk(path, depth + 1, max_depth, extensions, found);
        } else if (has_listed_extension(entry.name, extensions)) {
            found.push_back({path, entry.name});
        }
    }
}

} // namespace

std::vector<std::string> list_subdirectories(std::string_view directory) {
    std::vector<std::string> names;
    for (DirectoryEntry& entry : list_directory(directory))
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) names.push_back(std::move(entry.name));
    return names;
}

std::vector<FoundFile> walk_files(std::string_view directory, int max_depth,
                                  const std::vector<std::string>& extensions) {
    std::vector<FoundFile> found;
    if (max_depth >= 1) walk(std::string(directory), 1, max_depth, extensions, found);
    return found;
}

std::optional<std::string> read_file_prefix(std::string_view path, std::size_t limit) {
    UniqueHandle file(::CreateFileW(widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt; // a pipe or device could block
    std::string bytes;
    std::size_t used = 0;
    while (used < limit) {
        const std::size_t chunk = std::min<std::size_t>(limit - used, 64 * 1024);
        bytes.resize(used + chunk);
        DWORD n = 0;
        if (!::ReadFile(file.get(), bytes.data() + used, static_cast<DWORD>(chunk), &n, nullptr))
            return std::nullopt;
        if (n == 0) break;
        used += n;
    }
    bytes.resize(used);
    return bytes;
}

} // namespace wirelux::platform
