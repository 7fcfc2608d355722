#ifdef __linux__

#include "linux/resolver_files.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace wirelux::platform::linux_net

#endif
