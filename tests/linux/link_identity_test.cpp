#ifdef __linux__

#include "linux/link_identity.h"

#include <gtest/gtest.h>

#include <linux/if.h>
#include <linux/if_arp.h>
#include <regex>

namespace wirelux::platform::linux_net {
namespace {

netlink::LinkRecord link(std::string name, std::string address, std::string permanent = {}) {
    netlink::LinkRecord l;
    l.name = std::move(name);
    l.address = std::move(address);
    l.permanent_address = std::move(permanent);
    return l;
}

TEST(LinkType, LinkLayerTypesMapToTheNumbersWindowsReports) {
    EXPECT_EQ(iana_if_type(ARPHRD_ETHER, false), 6u);
    EXPECT_EQ(iana_if_type(ARPHRD_ETHER, true), 71u);
    EXPECT_EQ(iana_if_type(ARPHRD_IEEE80211_RADIOTAP, false), 71u);
    EXPECT_EQ(iana_if_type(ARPHRD_LOOPBACK, false), 24u);
    EXPECT_EQ(iana_if_type(ARPHRD_PPP, false), 23u);
    for (const std::uint16_t tunnel :
         {ARPHRD_NONE, ARPHRD_TUNNEL, ARPHRD_TUNNEL6, ARPHRD_SIT, ARPHRD_IPGRE, ARPHRD_IP6GRE, ARPHRD_RAWIP})
        EXPECT_EQ(iana_if_type(tunnel, false), 131u) << tunnel;
    EXPECT_EQ(iana_if_type(ARPHRD_CAN, false), 1u);
}

TEST(LinkState, UnknownStateCountsAsUpOnlyWithCarrier) {
    netlink::LinkRecord l;
    l.operstate = IF_OPER_UP;
    EXPECT_TRUE(link_oper_up(l));
    l.operstate = IF_OPER_UNKNOWN; // what loopback and many tunnels report
    l.flags = IFF_UP | IFF_RUNNING;
    EXPECT_TRUE(link_oper_up(l));
    l.flags = IFF_UP;
    EXPECT_FALSE(link_oper_up(l));
    l.operstate = IF_OPER_DOWN;
    l.flags = IFF_UP | IFF_RUNNING;
    EXPECT_FALSE(link_oper_up(l));
}

TEST(LinkMac, TunnelsAndLoopbackHaveNoPhysicalAddress) {
    const auto eth = link("eth0", std::string("\x00\x1a\x2b\x3c\x4d\x5e", 6));
    EXPECT_EQ(link_mac_text(eth, 6), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(link_mac_text(link("lo", std::string(6, '\0')), 24), "");
    EXPECT_EQ(link_mac_text(link("sit0", std::string("\x0a\x00\x00\x01", 4)), 131), "");
    EXPECT_EQ(link_mac_text(link("ib0", std::string(20, '\x11')), 199), "11-11-11-11-11-11-11-11");
}

TEST(LinkGuid, StableRegistryFormKeyedByNameAndBurntInAddress) {
    const std::string mac("\x00\x1a\x2b\x3c\x4d\x5e", 6);
    const std::string guid = link_guid(link("eth0", mac));
    EXPECT_TRUE(std::regex_match(
        guid, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-8[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\})")))
        << guid;
    EXPECT_EQ(link_guid(link("eth0", mac)), guid);
    EXPECT_NE(link_guid(link("eth1", mac)), guid);
    EXPECT_NE(link_guid(link("eth0", std::string("\x00\x1a\x2b\x3c\x4d\x5f", 6))), guid);
    // A randomised current address does not move the key while the burnt-in one stays.
    const std::string random("\x3a\x11\x22\x33\x44\x55", 6);
    EXPECT_EQ(link_guid(link("wlan0", random, mac)), link_guid(link("wlan0", mac)));
    EXPECT_EQ(link_guid(link("wlan0", random, std::string(6, '\0'))), link_guid(link("wlan0", random)));
    // Devices without an address differ by name alone.
    EXPECT_NE(link_guid(link("tun0", "")), link_guid(link("tun1", "")));
}

TEST(LinkLuid, TypeAndIndexSitWhereWindowsPutsThem) {
    EXPECT_EQ(link_luid(1, 24), 0x0018000001000000ull);
    EXPECT_EQ(link_luid(14, 6), 0x000600000E000000ull);
}

TEST(SysfsValues, SpeedIsMegabitsAndUnknownIsZero) {
    EXPECT_EQ(link_speed_bps("1000\n"), 1000000000ull);
    EXPECT_EQ(link_speed_bps("2500"), 2500000000ull);
    EXPECT_EQ(link_speed_bps("-1\n"), 0u);
    EXPECT_EQ(link_speed_bps(""), 0u);
    EXPECT_EQ(link_speed_bps("fast"), 0u);
    EXPECT_EQ(link_speed_bps("99999999999999999999"), 0u);
}

TEST(SysfsValues, UeventKeysMatchWholeNames) {
    const std::string uevent = "DEVTYPE_X=no\nDEVTYPE=wlan\nINTERFACE=wlp2s0\n";
    EXPECT_EQ(uevent_value(uevent, "DEVTYPE"), "wlan");
    EXPECT_EQ(uevent_value(uevent, "INTERFACE"), "wlp2s0");
    EXPECT_FALSE(uevent_value(uevent, "DEV"));
    EXPECT_EQ(
        uevent_value("E:ID_MODEL_FROM_DATABASE=Ethernet Connection I219-LM\n", "E:ID_MODEL_FROM_DATABASE"),
        "Ethernet Connection I219-LM");
}

TEST(SysfsValues, OnlyPlainNamesBecomePathComponents) {
    EXPECT_TRUE(safe_interface_name("eth0"));
    EXPECT_FALSE(safe_interface_name(""));
    EXPECT_FALSE(safe_interface_name(".."));
    EXPECT_FALSE(safe_interface_name("a/b"));
    EXPECT_FALSE(safe_interface_name("sixteen-chars-xx"));
    EXPECT_TRUE(safe_path_component("nf_conntrack_netbios_ns"));
    EXPECT_EQ(sysfs_address_text(std::string("\x02\xfc\x00\x00\x00\x01", 6)), "02:fc:00:00:00:01");
}

TEST(DeviceInstance, BusDevicesAreNamedByTheNearestPciOrUsbDevice) {
    const DeviceNode virtio{"virtio", "virtio2", "", "", ""};
    const DeviceNode pci{"pci", "0000:00:03.0", "0x1af4", "0x1041", ""};
    EXPECT_EQ(device_instance_id({virtio, pci}, "eth0"), "PCI\\VEN_1AF4&DEV_1041\\0000:00:03.0");

    const DeviceNode usb_interface{"usb", "2-1:1.0", "", "", ""};
    const DeviceNode usb_device{"usb", "2-1", "0bda", "8153", "000001\n"};
    const DeviceNode hub{"usb", "usb2", "1d6b", "0003", ""};
    const DeviceNode controller{"pci", "0000:00:14.0", "0x8086", "0xa36d", ""};
    EXPECT_EQ(device_instance_id({usb_interface, usb_device, hub, controller}, "enx"),
              "USB\\VID_0BDA&PID_8153\\000001");
    DeviceNode no_serial = usb_device;
    no_serial.serial.clear();
    EXPECT_EQ(device_instance_id({usb_interface, no_serial, hub, controller}, "enx"),
              "USB\\VID_0BDA&PID_8153\\2-1");

    EXPECT_EQ(device_instance_id({DeviceNode{"vmbus", "f8615163-df3e", "", "", ""}}, "eth0"),
              "VMBUS\\F8615163-DF3E");
    EXPECT_EQ(device_instance_id({}, "wg0"), "ROOT\\NET\\wg0");
}

TEST(KernelModules, PathsComeFromEitherListWithDashAndUnderscoreAlike) {
    const std::string dep =
        "kernel/drivers/net/veth.ko.xz:\n"
        "kernel/drivers/net/wireguard/wireguard.ko.xz: kernel/lib/crypto/libchacha.ko.xz\n"
        "kernel/drivers/net/usb/cdc-ether.ko: kernel/drivers/net/usb/usbnet.ko\n";
    EXPECT_EQ(module_path(dep, "wireguard"), "kernel/drivers/net/wireguard/wireguard.ko.xz");
    EXPECT_EQ(module_path(dep, "cdc_ether"), "kernel/drivers/net/usb/cdc-ether.ko");
    EXPECT_FALSE(module_path(dep, "usbnet")) << "a dependency is not the module's own entry";
    EXPECT_FALSE(module_path(dep, "vet"));
    EXPECT_EQ(module_path("kernel/drivers/net/virtio_net.ko\n", "virtio_net"),
              "kernel/drivers/net/virtio_net.ko");
    EXPECT_FALSE(module_path("", "x"));
}

} // namespace
} // namespace wirelux::platform::linux_net

#endif
