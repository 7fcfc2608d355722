#include "platform/command_runner.h"
#include "platform/console.h"
#include "platform/process_env.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace wirelux::platform {
namespace {

TEST(MsysPtyRule, LastComponentNamesAnMsysOrCygwinPty) {
    EXPECT_TRUE(is_msys_pty_pipe_name(R"(\msys-1888ae32e00d56aa-pty0-from-master)"));
    EXPECT_TRUE(is_msys_pty_pipe_name(R"(\Device\NamedPipe\cygwin-e022582115c10879-pty3-to-master)"));
    EXPECT_FALSE(is_msys_pty_pipe_name(R"(\msys-1888ae32e00d56aa-pipe-0x1)"));
    EXPECT_FALSE(is_msys_pty_pipe_name(R"(\Win32.Pipes.00000032.00000001)"));
    EXPECT_FALSE(is_msys_pty_pipe_name(R"(\msys-x-pty0\child)")); // only the last component counts
    EXPECT_FALSE(is_msys_pty_pipe_name(""));
}

TEST(RegistryValueText, DwordBecomesDecimal) {
    EXPECT_EQ(registry_value_text(kRegDword, std::string("\x01\x00\x00\x00", 4)), "1");
    EXPECT_EQ(registry_value_text(kRegDword, std::string("\xFF\xFF\xFF\xFF", 4)), "4294967295");
    EXPECT_EQ(registry_value_text(kRegDword, std::string("\x00\x01\x00\x00", 4)), "256");
}

TEST(RegistryValueText, TextsDropTrailingZeroUnits) {
    const std::string sz("W\0i\0n\0\0\0\0\0", 10); // "Win" stored with two terminating zeros
    EXPECT_EQ(registry_value_text(1, sz), "Win");
    EXPECT_EQ(registry_value_text(1, ""), "");
    const std::string cjk("\x13\x4E\x1A\x4E\x48\x72\0\0", 8); // 专业版
    EXPECT_EQ(registry_value_text(1, cjk), "专业版");
    // A DWORD too short to hold its number is read as text like any other value.
    EXPECT_EQ(registry_value_text(kRegDword, std::string("A\0", 2)), "A");
}

TEST(RegistryValueNumber, OnlyDwordsAndTheLowHalfOfQwordsAreNumbers) {
    const struct {
        std::uint32_t type;
        std::string bytes;
        std::optional<std::uint32_t> number;
    } cases[] = {
        {kRegDword, std::string("\x01\x00\x00\x00", 4), 1},
        {kRegDword, std::string("\x00\x01\x00\x00", 4), 256},
        {kRegQword, std::string("\x02\x00\x00\x00\x01\x00\x00\x00", 8), 2},
        {1, std::string("0\0\0\0", 4), std::nullopt}, // REG_SZ "0": four bytes, but no number
        {3, std::string("\x01\x00\x00\x00", 4), std::nullopt}, // REG_BINARY
        {kRegDword, std::string("\x01\x00", 2), std::nullopt},
        {kRegQword, std::string("\x01\x00\x00\x00", 4), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(registry_value_number(c.type, c.bytes), c.number) << c.type;
}

TEST(CommandText, FallsBackToStandardErrorWhenOutputIsBlank) {
    EXPECT_EQ(choose_command_text("Direct access (no proxy server).\r\n", "ignored"),
              "Direct access (no proxy server).\r\n");
    EXPECT_EQ(choose_command_text("\xEF\xBB\xBF", "The following command was not found: wlan.\r\n"),
              "The following command was not found: wlan.\r\n");
    EXPECT_EQ(choose_command_text(" \r\n", std::string("\xFF\xFE" "e\0r\0r\0", 8)), "err");
    EXPECT_EQ(choose_command_text("", ""), "");
}

TEST(Environment, PresentEmptyAndMissingVariables) {
#ifdef _WIN32
    ASSERT_TRUE(::SetEnvironmentVariableW(L"WIRELUX_TEST_EMPTY", L""));
    ASSERT_TRUE(::SetEnvironmentVariableW(L"WIRELUX_TEST_VALUE", L"中文"));
#else
    ASSERT_EQ(::setenv("WIRELUX_TEST_EMPTY", "", 1), 0);
    ASSERT_EQ(::setenv("WIRELUX_TEST_VALUE", "中文", 1), 0);
#endif
    EXPECT_EQ(environment_variable("WIRELUX_TEST_EMPTY"), std::optional<std::string>(""));
    EXPECT_EQ(environment_variable("WIRELUX_TEST_VALUE"), std::optional<std::string>("中文"));
    EXPECT_FALSE(environment_variable("WIRELUX_TEST_SURELY_NOT_SET").has_value());
}

TEST(Environment, InvalidUnicodeCountsAsNotSet) {
#ifdef _WIN32
    const wchar_t lone_surrogate[] = {0xD800, L'x', 0};
    ASSERT_TRUE(::SetEnvironmentVariableW(L"WIRELUX_TEST_BAD", lone_surrogate));
#else
    ASSERT_EQ(::setenv("WIRELUX_TEST_BAD", "\xFF\xFE", 1), 0);
#endif
    EXPECT_FALSE(environment_variable("WIRELUX_TEST_BAD").has_value());
}

TEST(Registry, VersionKeyReadsWhereThereIsARegistry) {
    const auto key = open_key(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
#ifdef _WIN32
    ASSERT_TRUE(key.has_value());
    const auto product = read_text(*key, "ProductName");
    ASSERT_TRUE(product.has_value());
    EXPECT_TRUE(product->starts_with("Microsoft Windows") || product->starts_with("Windows")) << *product;
    EXPECT_FALSE(read_text(*key, "WireLuxNoSuchValue").has_value());
    EXPECT_FALSE(read_number(*key, "WireLuxNoSuchValue").has_value());

    // A text "0" where a number belongs reads as no number, not as 0x30.
    HKEY test_key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\WireLuxTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &test_key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ::RegSetValueExW(test_key, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"0"), 2 * sizeof(wchar_t));
    ::RegSetValueExW(test_key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    ::RegCloseKey(test_key);
    const auto written = open_key(RegistryRoot::CurrentUser, "Software\\WireLuxTest");
    ASSERT_TRUE(written.has_value());
    EXPECT_FALSE(read_number(*written, "Text").has_value());
    EXPECT_EQ(read_number(*written, "Number"), std::optional<std::uint32_t>(1));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WireLuxTest");
#else
    EXPECT_FALSE(key.has_value()); // no registry: every read is absent
#endif
    EXPECT_FALSE(open_key(RegistryRoot::CurrentUser, "Software\\WireLux\\No\\Such\\Key").has_value());
}

} // namespace
} // namespace wirelux::platform
