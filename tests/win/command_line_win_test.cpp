#ifdef _WIN32
#include "platform/process_env.h"
#include "win/handle.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace wirelux::platform {
namespace {

// The splitter must agree with the system's own CommandLineToArgvW.
TEST(WindowsCommandLineAgainstSystem, AgreesOnTrickyLines) {
    const char* lines[] = {
        R"("C:\Program Files\wirelux.exe" --no-progress)",
        R"(w.exe "arg with space" quo\"te)",
        R"(w.exe a\\b a\\\\"b c" d)",
        R"(w.exe a\\\"b)",
        R"(w.exe "C:\dir\\" x)",
        R"(w.exe ab"c d"e)",
        R"(w.exe """a b""")",
        R"(w.exe "a""b")",
        R"(w.exe """")",
        R"(w.exe "")",
        "w.exe  a\t b  ",
        R"(C:\tools\wire\"lux.exe a)",
        "--no-progress",
        R"(w.exe """""" x "y""""z")",
    };
    for (const char* line : lines) {
        int argc = 0;
        const std::wstring wide = widen(line);
        wchar_t** argv = ::CommandLineToArgvW(wide.c_str(), &argc);
        ASSERT_NE(argv, nullptr) << line;
        std::vector<std::string> expected;
        for (int i = 0; i < argc; ++i) expected.push_back(narrow(argv[i], wcslen(argv[i])));
        ::LocalFree(argv);
        EXPECT_EQ(split_windows_command_line(line), expected) << line;
    }
}

} // namespace
} // namespace wirelux::platform
#endif
