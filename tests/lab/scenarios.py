"""The lab's network scenarios. Each builds namespaces inside a Lab and returns the namespace the
program runs in, with the facts a test checks against."""

import os
import shutil
import time

# Addresses of the "home" network. The peer namespace plays the gateway and owns the fixed internet
# probe targets as the lab's own test hosts.
LAN_V4 = "192.168.50.2"
GATEWAY_V4 = "192.168.50.1"
LAN_V6 = "2001:db8:50::2"
GATEWAY_V6 = "2001:db8:50::1"
INTERNET_V4 = "223.5.5.5"
INTERNET_V6 = "2400:3200::1"
ROUTE_PROBE_V4 = "1.1.1.1"
CARRIER = "vEthernet-lan"  # a veth named like a known virtual carrier, so it is assessed as one
TUN = "wltun0"
TUN_V4 = "198.18.0.1"


class Scenario:
    def __init__(self, lab, ns, **facts):
        self.lab = lab
        self.ns = ns
        self.facts = facts


def _resolv_conf(lab, ns, servers):
    """`ip netns exec` shows /etc/netns/<ns>/resolv.conf as /etc/resolv.conf inside the namespace."""
    directory = f"/etc/netns/{ns}"
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "resolv.conf"), "w") as f:
        f.writelines(f"nameserver {s}\n" for s in servers)
    lab.cleanups.append(lambda: shutil.rmtree(directory, ignore_errors=True))


def offline(lab):
    ns = lab.netns("off")
    _resolv_conf(lab, ns, [])
    return Scenario(lab, ns)


def home(lab):
    pc = lab.netns("pc")
    net = lab.netns("net")
    lab.veth(pc, CARRIER, net, "lan0")
    lab.ip(pc, "addr", "add", f"{LAN_V4}/24", "dev", CARRIER)
    lab.ip(pc, "-6", "addr", "add", f"{LAN_V6}/64", "dev", CARRIER, "nodad")
    lab.ip(net, "addr", "add", f"{GATEWAY_V4}/24", "dev", "lan0")
    lab.ip(net, "-6", "addr", "add", f"{GATEWAY_V6}/64", "dev", "lan0", "nodad")
    for address in (f"{INTERNET_V4}/32", f"{ROUTE_PROBE_V4}/32"):
        lab.ip(net, "addr", "add", address, "dev", "lo")
    lab.ip(net, "-6", "addr", "add", f"{INTERNET_V6}/128", "dev", "lo", "nodad")
    lab.ip(pc, "route", "add", "default", "via", GATEWAY_V4, "dev", CARRIER, "metric", "100")
    lab.ip(pc, "-6", "route", "add", "default", "via", GATEWAY_V6, "dev", CARRIER, "metric", "100")
    _resolv_conf(lab, pc, [GATEWAY_V4])
    return Scenario(lab, pc, peer=net)


def tun(lab):
    """Home plus a TUN adapter with a 198.18.x.x address that owns the preferred default route."""
    s = home(lab)
    pc = s.ns
    lab.exec(pc, "ip", "tuntap", "add", "mode", "tun", "name", TUN)
    # A TUN device has no carrier until a process holds it open.
    lab.spawn(pc, "python3", "-c",
              "import fcntl,os,struct,time\n"
              "fd=os.open('/dev/net/tun',os.O_RDWR)\n"
              f"fcntl.ioctl(fd,0x400454ca,struct.pack('16sH',b'{TUN}',0x1001))\n"
              "time.sleep(86400)")
    lab.ip(pc, "addr", "add", f"{TUN_V4}/16", "dev", TUN)
    lab.ip(pc, "link", "set", TUN, "up")
    lab.ip(pc, "route", "add", "default", "dev", TUN, "metric", "5")
    # The holder attaches a moment after it starts; a run before that sees the TUN as down.
    _wait_for_carrier(lab, pc, TUN)
    return s


def _wait_for_carrier(lab, ns, link, timeout=10):
    deadline = time.monotonic() + timeout
    while "LOWER_UP" not in lab.ip(ns, "link", "show", link).stdout:
        if time.monotonic() > deadline:
            raise RuntimeError(f"{link} has no carrier after {timeout} s")
        time.sleep(0.05)
