#include "facts/adapter_lists.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

using Texts = std::vector<std::string>;

AdapterInfo adapter_with(const Texts& v4, const Texts& v6, const Texts& dns) {
    AdapterInfo adapter;
    for (const std::string& address : v4)
        adapter.ipv4.push_back(IfAddress{address, 24});
    for (const std::string& address : v6)
        adapter.ipv6.push_back(IfAddress{address, 64});
    adapter.dns_servers = dns;
    return adapter;
}

TEST(AdapterLists, GlobalIpv6LeavesOutLoopbackLinkLocalAndUniqueLocalInAnyCase) {
    const AdapterInfo a =
        adapter_with({}, {"FE80::1", "2001:db8::5", "::1", "fd00::2", "FC00::3", "2606:4700::1"}, {});
    EXPECT_EQ(global_ipv6_address_texts(a), (Texts{"2001:db8::5", "2606:4700::1"}));
    EXPECT_TRUE(global_ipv6_address_texts(AdapterInfo{}).empty());
}

TEST(AdapterLists, Ipv4AddressesAndDnsServersKeepTheirOrder) {
    const AdapterInfo a = adapter_with({"192.168.1.10", "10.0.0.2"}, {"2001:db8::5"},
                                       {"fe80::1%12", "192.168.1.1", "2001:4860:4860::8888", "1.1.1.1"});
    EXPECT_EQ(ipv4_address_texts(a), (Texts{"192.168.1.10", "10.0.0.2"}));
    EXPECT_EQ(ipv4_dns_servers(a), (Texts{"192.168.1.1", "1.1.1.1"}));
}

} // namespace
} // namespace wirelux
