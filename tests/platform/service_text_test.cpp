// The Linux service and driver texts, parsed on every platform.
#include "platform/services.h"

#include <gtest/gtest.h>

namespace wirelux::platform {
namespace {

std::vector<std::string> names(const std::vector<ServiceInfo>& list) {
    std::vector<std::string> out;
    for (const ServiceInfo& s : list)
        out.push_back(s.name);
    return out;
}

// Lines as a kernel writes them: dependencies ending in ",", "-" for none, taint flags after the address.
const char* const kModules = "wireguard 118784 0 - Live 0x0000000000000000\n"
                             "nf_tables 331776 583 nft_compat,nft_chain_nat, Live 0xffffffffc0a00000\n"
                             "vboxnetflt 36864 0 - Live 0x0000000000000000 (OE)\n"
                             "tun 61440 2 - Unloading 0x0000000000000000\n"
                             "xt_tcpudp 20480 0 - Loading 0x0000000000000000\n"
                             "curve25519_x86_64 36864 1 wireguard, Live 0x0000000000000000";

TEST(ProcModules, KeepsLiveModulesInFileOrder) {
    const auto modules = parse_proc_modules(kModules);
    EXPECT_EQ(names(modules),
              (std::vector<std::string>{"wireguard", "nf_tables", "vboxnetflt", "curve25519_x86_64"}));
    for (const ServiceInfo& m : modules) {
        EXPECT_EQ(m.state, "Running");
        EXPECT_EQ(m.display_name, "");
        EXPECT_EQ(m.binary_path, "");
    }
}

TEST(ProcModules, SkipsDamagedLines) {
    EXPECT_TRUE(parse_proc_modules("").empty());
    EXPECT_TRUE(parse_proc_modules("\n\n").empty());
    EXPECT_TRUE(parse_proc_modules("wireguard 118784 0 - Live").empty());      // cut before the address
    EXPECT_TRUE(parse_proc_modules("wireguard 118784 0 - Live\n0x0").empty()); // address on a line of its own
    EXPECT_TRUE(parse_proc_modules("wireguard big 0 - Live 0x0").empty());     // size not a number
    EXPECT_TRUE(parse_proc_modules("wireguard 118784 0 - live 0x0").empty());  // state is case-sensitive
    EXPECT_EQ(names(parse_proc_modules("garbage\r\ntun 1 0 - Live 0x0\r\nwg 1 0 -")),
              std::vector<std::string>{"tun"});
}

TEST(CgroupProcs, FirstProcessIdOrNothing) {
    EXPECT_EQ(first_cgroup_pid("812\n813\n"), 812u);
    EXPECT_EQ(first_cgroup_pid("812"), 812u);
    EXPECT_EQ(first_cgroup_pid("0\n0\n4242\n"), 4242u); // processes of other pid namespaces read as 0
    EXPECT_EQ(first_cgroup_pid("\n77\n"), 77u);
    EXPECT_FALSE(first_cgroup_pid("")); // a unit without live processes
    EXPECT_FALSE(first_cgroup_pid("0\n"));
    EXPECT_FALSE(first_cgroup_pid("pid\n12\n")); // not the text of cgroup.procs
    EXPECT_FALSE(first_cgroup_pid("12x\n"));
    EXPECT_FALSE(first_cgroup_pid("-5\n"));
    EXPECT_FALSE(first_cgroup_pid("4294967296\n")); // does not fit a process id
}

TEST(CgroupProcs, OnlyServiceUnitsCount) {
    EXPECT_TRUE(is_service_unit_name("ssh.service"));
    EXPECT_TRUE(is_service_unit_name("wg-quick@wg0.service"));
    EXPECT_TRUE(is_service_unit_name(R"(systemd-fsck@dev-disk-by\x2duuid-1234.service)"));
    EXPECT_FALSE(is_service_unit_name(".service"));
    EXPECT_FALSE(is_service_unit_name("user.slice"));
    EXPECT_FALSE(is_service_unit_name("session-2.scope"));
    EXPECT_FALSE(is_service_unit_name("ssh.service.d"));
    EXPECT_FALSE(is_service_unit_name("cgroup.procs"));
}

} // namespace
} // namespace wirelux::platform
