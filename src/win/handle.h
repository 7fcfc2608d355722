#pragma once
// Owner of a Win32 kernel handle.

#include <windows.h>

#include <string>

namespace wirelux::platform {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void reset(HANDLE h = nullptr) {
        if (valid()) ::CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

// UTF-8 to a zero-terminated wide string and back (invalid sequences replaced).
std::wstring widen(std::string_view utf8);
std::string narrow(const wchar_t* wide, std::size_t length);
std::string narrow(const std::wstring& wide);

// The system's message text for an error code, without the trailing line break.
std::string error_text(DWORD code);

// Quotes one argument for a command line so that CommandLineToArgvW gives it back unchanged.
std::wstring quote_argument(const std::wstring& argument);

} // namespace wirelux::platform
