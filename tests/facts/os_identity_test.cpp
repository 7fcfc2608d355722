#include "facts/collect.h"
#include "facts/os_identity.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace wirelux {
namespace {

constexpr unsigned kEnglishUs = 0x0409;
constexpr unsigned kChineseSimplified = 0x0804;
constexpr unsigned kChineseTraditional = 0x0404;

TEST(OsName, GenerationFollowsTheBuildNumber) {
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "19045", kEnglishUs), "Microsoft Windows 10 Pro");
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "22000", kEnglishUs), "Microsoft Windows 11 Pro");
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "22631", kEnglishUs), "Microsoft Windows 11 Pro");
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "", kEnglishUs), "Microsoft Windows 10 Pro");
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "22000a", kEnglishUs), "Microsoft Windows 10 Pro");
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "99999999999", kEnglishUs), "Microsoft Windows 10 Pro");
}

TEST(OsName, EditionTextLosesOnlyAWindowsPrefix) {
    EXPECT_EQ(compose_os_name("Windows 11 Enterprise", "Enterprise", "22631", kEnglishUs),
              "Microsoft Windows 11 Enterprise");
    EXPECT_EQ(compose_os_name("Windows Server 2022 Datacenter", "ServerDatacenter", "20348", kEnglishUs),
              "Microsoft Windows 10 Windows Server 2022 Datacenter");
    EXPECT_EQ(compose_os_name("Microsoft Windows 7", "", "7601", kEnglishUs), "Microsoft Windows 10 Microsoft Windows 7");
    EXPECT_EQ(compose_os_name("Windows 10  Home ", "Core", "19045", kEnglishUs), "Microsoft Windows 10 Home");
}

TEST(OsName, EmptyProductNameGivesEmptyName) { EXPECT_EQ(compose_os_name("", "Professional", "22631", kEnglishUs), ""); }

TEST(OsName, ChineseInterfaceUsesTheEditionTable) {
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "22631", kChineseSimplified), "Microsoft Windows 11 专业版");
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "Professional", "19045", kChineseTraditional),
              "Microsoft Windows 10 专业版");
    EXPECT_EQ(compose_os_name("Windows 10 Enterprise LTSC 2021", "EnterpriseS", "19044", kChineseSimplified),
              "Microsoft Windows 10 企业版 LTSC");
    // Matching is exact and case-sensitive; an unknown edition keeps the product's own text.
    EXPECT_EQ(compose_os_name("Windows 10 Pro", "professional", "19045", kChineseSimplified), "Microsoft Windows 10 Pro");
    EXPECT_EQ(compose_os_name("Windows 10 Team", "Team", "19045", kChineseSimplified), "Microsoft Windows 10 Team");
}

TEST(OsName, EditionTableIsComplete) {
    EXPECT_EQ(chinese_edition_text("Core"), "家庭版");
    EXPECT_EQ(chinese_edition_text("CoreSingleLanguage"), "家庭单语言版");
    EXPECT_EQ(chinese_edition_text("CoreCountrySpecific"), "家庭中文版");
    EXPECT_EQ(chinese_edition_text("ProfessionalWorkstation"), "专业工作站版");
    EXPECT_EQ(chinese_edition_text("ProfessionalEducation"), "专业教育版");
    EXPECT_EQ(chinese_edition_text("EnterpriseN"), "企业版 N");
    EXPECT_EQ(chinese_edition_text("Education"), "教育版");
    EXPECT_EQ(chinese_edition_text("IoTEnterprise"), "IoT 企业版");
    EXPECT_EQ(chinese_edition_text("ServerStandard"), "标准版");
    EXPECT_EQ(chinese_edition_text("ServerDatacenter"), "数据中心版");
    EXPECT_FALSE(chinese_edition_text("").has_value());
}

TEST(OsRelease, PrettyNameWithQuotesAndEscapes) {
    EXPECT_EQ(os_release_pretty_name("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(os_release_pretty_name("PRETTY_NAME='Single quoted'"), "Single quoted");
    EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=Bare"), "Bare");
    EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=\"Say \\\"hi\\\"\""), "Say \"hi\"");
    EXPECT_EQ(os_release_pretty_name("NAME=x\n# PRETTY_NAME=commented\n"), "");
    EXPECT_EQ(os_release_pretty_name(""), "");
    EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=\""), "\""); // malformed: kept as it stands
}

TEST(CollectedAt, FormatIsZeroPadded) {
    EXPECT_EQ(format_collected_at({2026, 3, 7, 9, 5, 1}), "2026-03-07 09:05:01");
}

TEST(Identity, ComputerNameComesFromTheEnvironment) {
#ifdef _WIN32
    ASSERT_TRUE(::SetEnvironmentVariableW(L"COMPUTERNAME", L"WORKSTATION-7"));
#else
    ASSERT_EQ(::setenv("COMPUTERNAME", "WORKSTATION-7", 1), 0);
#endif
    FactSnapshot s;
    collect_identity(s);
    EXPECT_EQ(s.computer_name, "WORKSTATION-7");
    EXPECT_EQ(s.collected_at.size(), 19u);
    EXPECT_EQ(own_names(s), (std::set<std::string>{"localhost", "workstation-7"}));
#ifdef _WIN32
    ::SetEnvironmentVariableW(L"COMPUTERNAME", nullptr);
    FactSnapshot unset;
    collect_identity(unset);
    EXPECT_EQ(unset.computer_name, "localhost");
    EXPECT_TRUE(unset.os_name.starts_with("Microsoft Windows 1")) << unset.os_name;
#else
    ::unsetenv("COMPUTERNAME");
    FactSnapshot unset;
    collect_identity(unset);
    EXPECT_FALSE(unset.computer_name.empty()); // the host name, else "localhost"
#endif
}

} // namespace
} // namespace wirelux
