// A proxy core's command line and configuration file: option values, the file's path on both kinds
// of directory, top-level keys with their quotes, the tun block and the proxies list.
#include "mihomo/core_config.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace wirelux {
namespace {

TEST(CommandLineOption, ValueAfterOneOrTwoDashesTheWholeNameAndAnEqualsSignOrSpaces) {
    struct Case {
        const char* line;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {R"("C:\Program Files\mihomo.exe" -d C:\cfg -f "C:\My Configs\work.yaml" -m)", "f",
         R"(C:\My Configs\work.yaml)"},
        {R"("C:\Program Files\mihomo.exe" -d C:\cfg -f "C:\My Configs\work.yaml" -m)", "d", R"(C:\cfg)"},
        {R"(core -f "")", "f", ""},
        {"mihomo --ext-ctl=127.0.0.1:9999 -f x.yaml", "ext-ctl", "127.0.0.1:9999"},
        {"mihomo -ext-ctl \t  0.0.0.0:1", "ext-ctl", "0.0.0.0:1"},
        {"mihomo --secret=\"s e c\"", "secret", "s e c"},
        {"mihomo -f \"unclosed x", "f", "\"unclosed"},
        // No value: "-df" is no option d, nor "--ext-ctl-pipe" ext-ctl, nor "x-d" or "---d" d; "-f= x"
        // and a last "-d" have none. A later option with a value still counts.
        {"mihomo -df C:\\x", "d", ""},
        {"mihomo --ext-ctl-pipe \\\\.\\pipe\\m", "ext-ctl", ""},
        {"run-x-d y", "d", ""},
        {"mihomo ---d y", "d", ""},
        {"mihomo -d", "d", ""},
        {"mihomo -f= x -f y", "f", "y"},
        // A name holding pattern characters is taken literally.
        {"mihomo -a.b 1 -axb 2", "a.b", "1"},
        {"mihomo -axb 2", "a.b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(command_line_option(c.line, c.name), c.value) << c.line << " / " << c.name;
}

TEST(ConfigFilePath, WindowsDirectoriesJoinWithBackslashes) {
    EXPECT_EQ(config_file_path(R"(mihomo.exe -d C:\Users\u\mihomo\\)"), R"(C:\Users\u\mihomo\config.yaml)");
    EXPECT_EQ(config_file_path(R"(mihomo.exe -d C:\m -f profiles\a.yaml)"), R"(C:\m\profiles\a.yaml)");
    EXPECT_EQ(config_file_path(R"(mihomo.exe -d C:\m -f "D:\other dir\b.yaml")"), R"(D:\other dir\b.yaml)");
    EXPECT_EQ(config_file_path(R"(mihomo.exe -d C:\m -f \\server\share\c.yaml)"), R"(\\server\share\c.yaml)");
    EXPECT_EQ(config_file_path(R"(mihomo.exe -d C:\ )"), R"(C:\config.yaml)");
}

TEST(ConfigFilePath, UnixDirectoriesJoinWithSlashes) {
    EXPECT_EQ(config_file_path("/usr/bin/mihomo -d /etc/mihomo/"), "/etc/mihomo/config.yaml");
    EXPECT_EQ(config_file_path("/usr/bin/mihomo -d /etc/mihomo -f config.yaml"), "/etc/mihomo/config.yaml");
    EXPECT_EQ(config_file_path("/usr/bin/mihomo -d / -f c.yaml"), "/c.yaml");
    EXPECT_EQ(config_file_path("/usr/bin/mihomo -d /etc/m -f /srv/c.yaml"), "/srv/c.yaml");
    // A directory written both ways is taken as a Windows one.
    EXPECT_EQ(config_file_path(R"(mihomo -d C:/a\b -f c.yaml)"), R"(C:/a\b\c.yaml)");
}

TEST(ConfigFilePath, FileAloneOrNothing) {
    EXPECT_EQ(config_file_path("mihomo -f relative.yaml"), "relative.yaml");
    // A relative file without a directory is where the core was started, when that is known.
    EXPECT_EQ(config_file_path("mihomo -f sub/c.yaml", "/home/u/cores"), "/home/u/cores/sub/c.yaml");
    EXPECT_EQ(config_file_path("mihomo -f c.yaml", "not absolute"), "c.yaml");
    EXPECT_EQ(config_file_path("mihomo -d /etc/m -f c.yaml", "/home/u"), "/etc/m/c.yaml");
    EXPECT_EQ(config_file_path("mihomo -f /srv/c.yaml", "/home/u"), "/srv/c.yaml");
    EXPECT_EQ(config_file_path("mihomo -m"), "");
    EXPECT_EQ(config_file_path(""), "");
}

TEST(AbsolutePath, DriveRootSlashAndBackslash) {
    EXPECT_TRUE(is_absolute_path("C:\\a"));
    EXPECT_TRUE(is_absolute_path("z:/a"));
    EXPECT_TRUE(is_absolute_path("/a"));
    EXPECT_TRUE(is_absolute_path("\\a"));
    EXPECT_FALSE(is_absolute_path("C:a"));
    EXPECT_FALSE(is_absolute_path("a\\b"));
    EXPECT_FALSE(is_absolute_path("1:\\a"));
    EXPECT_FALSE(is_absolute_path(""));
}

TEST(ConfigLines, CrLfAndAFinalLineWithoutBreak) {
    EXPECT_EQ(config_lines("a: 1\r\nb: 2\n\nc: 3"), (std::vector<std::string>{"a: 1", "b: 2", "", "c: 3"}));
    EXPECT_EQ(config_lines("a\n"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(config_lines("").empty());
}

TEST(Unquote, OnePairOfMatchingQuotes) {
    EXPECT_EQ(unquote("  \"abc\" "), "abc");
    EXPECT_EQ(unquote("'abc'"), "abc");
    EXPECT_EQ(unquote("\"\""), "");
    EXPECT_EQ(unquote("\"abc'"), "\"abc'");
    EXPECT_EQ(unquote("\""), "\"");
    EXPECT_EQ(unquote("\"\"x\"\""), "\"x\"");
}

TEST(ScalarValue, ACommentOutsideTheQuotesIsDropped) {
    const std::map<std::string, std::string> cases = {
        {R"("x" # note)", "x"},
        {"443 # note", "443"},
        {"127.0.0.1:9999\t# note", "127.0.0.1:9999"},
        {"system # gvisor/mixed", "system"},
        {"# only a comment", ""},
        {R"("a #b" # c)", "a #b"},
        {R"('it''s #1' #c)", "it''s #1"},
        {R"("esc\" #q" # c)", R"(esc\" #q)"},
        {"a#b", "a#b"},
        {R"("unclosed # x)", R"("unclosed # x)"},
        {"plain 'quote # x", "plain 'quote"},
    };
    for (const auto& [written, value] : cases)
        EXPECT_EQ(scalar_value(written), value) << written;
}

TEST(TopLevelValue, FirstMatchingLineUnquoted) {
    const auto lines = config_lines("port: 7890\n"
                                    "  secret: nested\n"
                                    "secret : \"s3cr3t\"  \n"
                                    "secret: second\n"
                                    "external-controller: '0.0.0.0:9090'\n"
                                    "external-controller-tls: 1.2.3.4:9443\n");
    EXPECT_EQ(top_level_value(lines, "secret"), "s3cr3t");
    EXPECT_EQ(top_level_value(lines, "external-controller"), "0.0.0.0:9090");
    EXPECT_EQ(top_level_value(lines, "find-process-mode"), "");
    // The key is literal text: "." matches no other character.
    EXPECT_EQ(top_level_value(config_lines("axb: 1\n"), "a.b"), "");
}

TEST(TunValue, EnableDeviceAndStackOfTheTunBlock) {
    const auto lines = config_lines("stack: system\n"
                                    "enable: true\n"
                                    "tun: # on\n"
                                    "  enable: True # was false\n"
                                    "  device: Meta # name\n"
                                    "dns:\n"
                                    "  stack: gvisor\n");
    EXPECT_EQ(tun_value(lines, "enable"), "True");
    EXPECT_EQ(tun_value(lines, "device"), "Meta");
    EXPECT_EQ(tun_value(lines, "stack"), "");
    for (const char* on : {"true", "TRUE", "yes", "on"})
        EXPECT_TRUE(is_true_value(on)) << on;
    for (const char* off : {"false", "", "1", "enable"})
        EXPECT_FALSE(is_true_value(off)) << off;

    // A stack line alone enables no TUN; "enable: true" does, with or without one.
    const auto read = [](const std::string& text) {
        return read_core_config("mihomo -f /c.yaml", [&](const std::string&) -> std::optional<std::string> {
            return text;
        });
    };
    EXPECT_FALSE(read("tun:\n  enable: false\n  stack: system\n").tun_enabled);
    EXPECT_FALSE(read("tun:\n  stack: system\n").tun_enabled);
    const CoreConfig enabled = read("tun:\n  enable: true\n  device: utun9\n");
    EXPECT_TRUE(enabled.tun_enabled);
    EXPECT_EQ(enabled.tun_device, "utun9");
    EXPECT_EQ(enabled.tun_stack, "");
}

TEST(TunStack, OnlyInsideTheTunBlock) {
    EXPECT_EQ(tun_value(config_lines("stack: system\n"
                                     "tun:\n"
                                     "  enable: true\n"
                                     "dns:\n"
                                     "  stack: mixed\n"), "stack"),
              "");
    EXPECT_EQ(tun_value(config_lines("tun:\n"
                                     "  enable: true\n"
                                     "  # a comment line does not end the block\n"
                                     "  stack: \"gvisor\"\n"
                                     "  stack: system\n"), "stack"),
              "gvisor");
    EXPECT_EQ(tun_value(config_lines("tun: {enable: true, stack: mixed}\n  stack: system\n"), "stack"), "");
}

TEST(TunStack, WhatEndsTheBlock) {
    // A new key starts at the first column with anything but "#" and has a colon after that.
    EXPECT_EQ(tun_value(config_lines("tun:\n#c: x\n:\nplain\n  stack: a\n"), "stack"), "a");
    EXPECT_EQ(tun_value(config_lines("tun:\n::\n  stack: a\n"), "stack"), "");
    EXPECT_EQ(tun_value(config_lines("tun:\ndns :\n  stack: a\n"), "stack"), "");
    EXPECT_EQ(tun_value(config_lines("tun:\n\t\n  stack: a\n"), "stack"), "a");
}

TEST(TopLevelValue, LongLinesKeepTheirInnerSpace) {
    const std::string spaces(200000, ' ');
    const auto lines =
        config_lines("tun:\nx" + spaces + "\n  stack: s\nsecret: a" + spaces + "b" + spaces + "\n");
    EXPECT_EQ(top_level_value(lines, "secret"), "a" + spaces + "b");
    EXPECT_EQ(tun_value(lines, "stack"), "s"); // a first-column line without a colon is no key
}

TEST(OutboundProxies, CompleteEntriesInOrder) {
    const auto proxies = outbound_proxies(config_lines("mode: rule\n"
                                                       "proxies:\n"
                                                       "  - name: \"HK 01\"\n"
                                                       "    type: ss\n"
                                                       "    server: hk.example\n"
                                                       "    port: \"8388\"\n"
                                                       "  - name: no-server\n"
                                                       "    type: vmess\n"
                                                       "    port: 443\n"
                                                       "  - name: bad-port\n"
                                                       "    server: x.example\n"
                                                       "    port: 70000\n"
                                                       "  - name: last\n"
                                                       "    type: trojan\n"
                                                       "    server: 203.0.113.9\n"
                                                       "    port: 443\n"
                                                       "proxy-groups:\n"
                                                       "  - name: group\n"
                                                       "    server: g.example\n"
                                                       "    port: 1\n"));
    ASSERT_EQ(proxies.size(), 2u);
    EXPECT_EQ(proxies[0].name, "HK 01");
    EXPECT_EQ(proxies[0].type, "ss");
    EXPECT_EQ(proxies[0].server, "hk.example");
    EXPECT_EQ(proxies[0].port, 8388);
    EXPECT_EQ(proxies[1].name, "last");
    EXPECT_EQ(proxies[1].server, "203.0.113.9");
    EXPECT_EQ(proxies[1].port, 443);
}

TEST(OutboundProxies, TheLastEntryEndsWithTheFileAndStrayFieldsAreIgnored) {
    const auto proxies = outbound_proxies(config_lines("proxies:\n"
                                                       "    server: before-any-entry\n"
                                                       "    port: 1\n"
                                                       "  - name: a\n"
                                                       "    server: a.example\n"
                                                       "    port: 1080"));
    ASSERT_EQ(proxies.size(), 1u);
    EXPECT_EQ(proxies[0].name, "a");
    EXPECT_EQ(proxies[0].type, "");
    EXPECT_TRUE(outbound_proxies(config_lines("  - name: a\n    server: b\n    port: 1\n")).empty());
}

TEST(ReadCoreConfig, CommandLineBeatsTheFile) {
    std::vector<std::string> asked;
    const ConfigFileReader reader = [&](const std::string& path) -> std::optional<std::string> {
        asked.push_back(path);
        return "external-controller: 0.0.0.0:9090\nsecret: 'from file'\nfind-process-mode: strict\n"
               "tun:\n  stack: system\n";
    };
    const CoreConfig from_file = read_core_config("/opt/mihomo -d /etc/m", reader);
    EXPECT_EQ(asked, std::vector<std::string>{"/etc/m/config.yaml"});
    EXPECT_EQ(from_file.config_path, "/etc/m/config.yaml");
    EXPECT_EQ(from_file.controller, "0.0.0.0:9090");
    EXPECT_EQ(from_file.secret, "from file");
    EXPECT_EQ(from_file.find_process_mode, "strict");
    EXPECT_EQ(from_file.tun_stack, "system");

    const CoreConfig overridden =
        read_core_config("/opt/mihomo -d /etc/m --external-controller 127.0.0.1:1 --ext-ctl=127.0.0.1:2 "
                         "--secret \"cli\"",
                         reader);
    EXPECT_EQ(overridden.controller, "127.0.0.1:2");
    EXPECT_EQ(overridden.secret, "cli");
}

TEST(ReadCoreConfig, ConfigurationsAsUsersWriteThem) {
    // A byte-order mark, trailing comments and flow-style proxies, in a file named relative to where
    // the core was started.
    const std::string text = "\xEF\xBB\xBFsecret: \"x\" # note\n"
                             "external-controller: 127.0.0.1:9999 # note\n"
                             "tun: # the TUN\n"
                             "  stack: system # gvisor/mixed\n"
                             "proxies: # outbound\n"
                             "  - name: block # note\n"
                             "    server: b.example # note\n"
                             "    port: 443 # note\n"
                             "  - {name: a, type: ss, server: h, port: 1}\n"
                             "    server: stray-after-a-flow-entry\n"
                             "  -   { name: \"c, d\", server: '2001:db8::1', port: \"8443\", plugin-opts: {mode: "
                             "x, y: 1}, type: trojan } # note\n"
                             "  - {name: open, server: h, port: 1\n"
                             "  - {name: no-port, server: h}\n";
    std::vector<std::string> asked;
    const CoreConfig config = read_core_config(
        "mihomo -f conf/c.yaml",
        [&](const std::string& path) -> std::optional<std::string> {
            asked.push_back(path);
            return text;
        },
        "/home/u/cores");
    EXPECT_EQ(asked, std::vector<std::string>{"/home/u/cores/conf/c.yaml"});
    EXPECT_EQ(config.secret, "x");
    EXPECT_EQ(config.controller, "127.0.0.1:9999");
    EXPECT_EQ(config.tun_stack, "system");
    ASSERT_EQ(config.outbound_proxies.size(), 3u);
    const auto text_of = [](const OutboundProxy& p) {
        return p.name + "|" + p.type + "|" + p.server + "|" + std::to_string(p.port);
    };
    EXPECT_EQ(text_of(config.outbound_proxies[0]), "block||b.example|443");
    EXPECT_EQ(text_of(config.outbound_proxies[1]), "a|ss|h|1");
    EXPECT_EQ(text_of(config.outbound_proxies[2]), "c, d|trojan|2001:db8::1|8443");
}

TEST(ReadCoreConfig, NoFileNamedOrUnreadableLeavesFileFactsEmpty) {
    int reads = 0;
    const CoreConfig none = read_core_config("mihomo", [&](const std::string&) -> std::optional<std::string> {
        ++reads;
        return "secret: x\n";
    });
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(none.secret, "");
    const CoreConfig unreadable =
        read_core_config("mihomo -f c.yaml", [](const std::string&) { return std::optional<std::string>(); });
    EXPECT_EQ(unreadable.config_path, "c.yaml");
    EXPECT_EQ(unreadable.controller, "");
    EXPECT_TRUE(unreadable.outbound_proxies.empty());
}

TEST(BoundedConfigText, ACutLineIsDroppedNotReadHalf) {
    EXPECT_EQ(bounded_config_text("secret: abc\n", 12), "secret: abc\n");
    EXPECT_EQ(bounded_config_text("a: 1\nsecret: abcdef\n", 14), "a: 1\n");
    EXPECT_EQ(bounded_config_text("secret: abcdef", 6), "");
}

} // namespace
} // namespace wirelux
