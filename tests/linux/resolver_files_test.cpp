#ifdef __linux__

#include "linux/resolver_files.h"
#include "linux/sysfs_net.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace wirelux::platform::linux_net {
namespace {

using Servers = std::vector<std::string>;

TEST(ResolverFiles, ServerTokensInEveryNotationGiveTheCanonicalAddress) {
    EXPECT_EQ(server_address("192.0.2.53"), "192.0.2.53");
    EXPECT_EQ(server_address("192.0.2.53:5353"), "192.0.2.53");
    EXPECT_EQ(server_address("[2001:DB8:0:0::1]:53"), "2001:db8::1");
    EXPECT_EQ(server_address("fe80::1%eth0"), "fe80::1");
    EXPECT_EQ(server_address("1.1.1.1#cloudflare-dns.com"), "1.1.1.1");
    EXPECT_EQ(server_address("[2606:4700::1111]:853%3#one.one.one.one"), "2606:4700::1111");
    EXPECT_FALSE(server_address("dns.example"));
    EXPECT_FALSE(server_address("[2001:db8::1"));
    EXPECT_FALSE(server_address(""));
}

TEST(ResolverFiles, ResolvConfNameserversInOrderWithoutRepeats) {
    const std::string text = "# generated\n"
                             "search corp.example\n"
                             "nameserver 192.0.2.53\n"
                             "nameserver\t2001:db8::53 \n"
                             "nameserver 192.0.2.53\n"
                             "; nameserver 203.0.113.1\n"
                             "nameserver not-an-address\n"
                             "options edns0\n";
    EXPECT_EQ(resolv_conf_servers(text), (Servers{"192.0.2.53", "2001:db8::53"}));
    EXPECT_TRUE(resolv_conf_servers("").empty());
}

TEST(ResolverFiles, TheLocalStubIsReplacedByItsUpstreamServers) {
    const std::string stub = "nameserver 127.0.0.53\noptions edns0 trust-ad\n";
    const std::string upstream = "nameserver 192.0.2.1\nnameserver 192.0.2.2\n";
    EXPECT_EQ(choose_resolver_servers(stub, upstream), (Servers{"192.0.2.1", "192.0.2.2"}));
    EXPECT_EQ(choose_resolver_servers(stub, ""), (Servers{"127.0.0.53"}));
    // Any other loopback resolver (a local proxy's DNS) is what the system really uses: kept.
    EXPECT_EQ(choose_resolver_servers("nameserver 127.0.0.1\n", upstream), (Servers{"127.0.0.1"}));
    EXPECT_EQ(choose_resolver_servers("nameserver 127.0.0.53\nnameserver 9.9.9.9\n", upstream),
              (Servers{"127.0.0.53", "9.9.9.9"}));
}

TEST(ResolverFiles, StateFileKeysAndServerLists) {
    const std::string link_state = "# This is private data. Do not parse.\n"
                                   "ADMIN_STATE=configured\n"
                                   "DNS_X=ignored\n"
                                   "DNS=192.0.2.53 2001:db8::53 192.0.2.53 bogus\n";
    EXPECT_EQ(state_servers(link_state, "DNS"), (Servers{"192.0.2.53", "2001:db8::53"}));
    EXPECT_EQ(state_value(link_state, "ADMIN_STATE"), "configured");
    EXPECT_TRUE(state_servers(link_state, "SERVERS").empty());
    EXPECT_EQ(state_value("SERVER_ADDRESS=192.0.2.1\n", "SERVER_ADDRESS"), "192.0.2.1");
    EXPECT_FALSE(state_value("", "DNS"));
}

TEST(LeaseFiles, ClientsNameTheirFilesForTheInterface) {
    struct Case {
        const char* name;
        std::optional<LeaseFormat> format;
        const char* interface;
    };
    const Case cases[] = {
        {"internal-5e6b1b8c-51f8-3a56-9a2d-2f4e7dfa2c11-enp3s0.lease", LeaseFormat::KeyValue, "enp3s0"},
        {"internal-5e6b1b8c-51f8-3a56-9a2d-2f4e7dfa2c11-br-lan.lease", LeaseFormat::KeyValue, "br-lan"},
        {"dhclient-5e6b1b8c-51f8-3a56-9a2d-2f4e7dfa2c11-wlp2s0.lease", LeaseFormat::Dhclient, "wlp2s0"},
        {"dhclient--eth0.100.lease", LeaseFormat::Dhclient, "eth0.100"},
        {"dhclient.eth0.leases", LeaseFormat::Dhclient, "eth0"},
        {"dhclient-eth0.leases", LeaseFormat::Dhclient, "eth0"},
        {"dhclient.leases", LeaseFormat::Dhclient, ""},
        {"dhclient6.eth0.leases", std::nullopt, ""},
        {"internal6-5e6b1b8c-51f8-3a56-9a2d-2f4e7dfa2c11-enp3s0.lease", std::nullopt, ""},
        {"internal-short-enp3s0.lease", std::nullopt, ""},
        {"internal-5e6b1b8c-51f8-3a56-9a2d-2f4e7dfa2c11-.lease", std::nullopt, ""},
        {"dhclient..leases", std::nullopt, ""},
        {"timestamps", std::nullopt, ""},
        {"NetworkManager.state", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const auto got = lease_file_name(c.name);
        ASSERT_EQ(got.has_value(), c.format.has_value()) << c.name;
        if (!got) continue;
        EXPECT_EQ(got->format, *c.format) << c.name;
        EXPECT_EQ(got->interface, c.interface) << c.name;
    }
}

// As dhclient appends them: the newest lease of each interface last.
constexpr std::string_view kDhclientLeases = R"(default-duid "\000\001\000\001*\3119\200RT\000\022\064V";
lease {
  interface "eth0";
  fixed-address 192.168.1.50;
  option subnet-mask 255.255.255.0;
  option routers 192.168.1.1;
  option dhcp-lease-time 86400;
  option dhcp-message-type 5;
  option domain-name-servers 192.168.1.1,1.1.1.1;
  option dhcp-server-identifier 192.168.1.1;
  option domain-name "lan; {odd}";
  renew 2 2026/12/08 20:00:00;
  rebind 3 2026/12/09 06:00:00;
  expire 3 2026/12/09 09:00:00;
}
lease {
  interface "wlan0";
  fixed-address 10.20.0.7;
  option dhcp-server-identifier 10.20.0.1;
}
# a newer lease from another server on the same network
lease {
  interface "eth0";
  fixed-address 192.168.1.51;
  option dhcp-server-identifier 192.168.1.254;
  option vendor-encapsulated-options "}lease {";
}
)";

TEST(LeaseFiles, DhclientLeaseServerIsTheNewestLeasesOfTheInterface) {
    EXPECT_EQ(dhclient_lease_server(kDhclientLeases, "eth0", false), "192.168.1.254");
    EXPECT_EQ(dhclient_lease_server(kDhclientLeases, "wlan0", false), "10.20.0.1");
    EXPECT_FALSE(dhclient_lease_server(kDhclientLeases, "eth1", false));

    // NetworkManager's dhclient files serve one interface and name none inside.
    constexpr std::string_view kManaged = "lease {\n  fixed-address 172.16.5.9;\n"
                                          "  option dhcp-server-identifier 172.16.5.1;\n}\n";
    EXPECT_EQ(dhclient_lease_server(kManaged, "wlp2s0", true), "172.16.5.1");
    EXPECT_FALSE(dhclient_lease_server(kManaged, "wlp2s0", false)) << "a shared file says whose lease it is";

    // Damaged or hostile files give no server rather than a wrong one.
    EXPECT_FALSE(dhclient_lease_server("lease {\n option dhcp-server-identifier 10.0.0.1;\n", "eth0", true))
        << "a lease cut before its end";
    EXPECT_FALSE(dhclient_lease_server("lease { option dhcp-server-identifier not-an-address; }", "eth0", true));
    EXPECT_FALSE(dhclient_lease_server("lease { option dhcp-server-identifier \"10.0.0.1; }", "eth0", true))
        << "an unterminated string swallows the rest";
    EXPECT_FALSE(dhclient_lease_server("lease { alias { option dhcp-server-identifier 10.0.0.1; } }", "eth0", true))
        << "only the lease's own statements count";
    EXPECT_FALSE(dhclient_lease_server("}}}{{{;;;\"", "eth0", true));
    EXPECT_EQ(dhclient_lease_server("lease{option dhcp-server-identifier 10.0.0.1;}", "eth0", true), "10.0.0.1");
}

TEST(LeaseFiles, NewestFileForTheInterfaceThatNamesAServerWins) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("wirelux-leases-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto file = [&](const char* name, std::string_view text, std::int64_t modified) {
        std::ofstream(dir / name) << text;
        return LeaseFile{(dir / name).string(), *lease_file_name(name), modified};
    };
    const LeaseFile internal = file("internal-5e6b1b8c-51f8-3a56-9a2d-2f4e7dfa2c11-enp3s0.lease",
                                    "# This is private data. Do not parse.\nADDRESS=192.168.8.23\n"
                                    "ROUTER=192.168.8.1\nSERVER_ADDRESS=192.168.8.1\nLIFETIME=43200\n",
                                    300);
    const LeaseFile shared = file("dhclient.leases", kDhclientLeases, 200);
    const LeaseFile serverless =
        file("internal-0f0e0d0c-51f8-3a56-9a2d-2f4e7dfa2c11-enp3s0.lease", "ADDRESS=10.0.0.9\n", 400);
    const LeaseFile gone{(dir / "dhclient.eth9.leases").string(), *lease_file_name("dhclient.eth9.leases"), 500};
    const std::vector<LeaseFile> newest_first = {gone, serverless, internal, shared};

    EXPECT_EQ(lease_file_server(newest_first, "enp3s0"), "192.168.8.1");
    EXPECT_EQ(lease_file_server(newest_first, "eth0"), "192.168.1.254");
    EXPECT_FALSE(lease_file_server(newest_first, "eth9"));
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

} // namespace
} // namespace wirelux::platform::linux_net

#endif
