"""Host layouts common on Linux, read by the Linux program: an uplink that is a bridge or a MAC VLAN
over a veth, a tunnel whose default route sits in its own table behind routing rules (the way wg-quick
installs one), services as systemd lays out their cgroups (template instances, delegated and user
services), and a user who may open no echo socket."""

import json
import os
import re
import unittest

import lab
import report
import scenarios as sc
from summary import lines, section

BRIDGE = "br0"
MACVLAN = "mv0"
PORT = "eth0"
TUNNEL_TABLE = 51820
VPN_UNIT = "openvpn-client@work.service"
USER_UNIT = "tailscale-systray.service"
NOBODY = 65534


def uplink(lab_, kind):
    """A host whose addresses and default route sit on a bridge (or a MAC VLAN) standing on a veth,
    the way a VM or container host's uplink does; the peer plays the gateway and the internet."""
    pc, net = lab_.netns("pc"), lab_.netns("net")
    lab_.veth(pc, PORT, net, "lan0")
    if kind == "bridge":
        name = BRIDGE
        lab_.ip(pc, "link", "add", name, "type", "bridge")
        lab_.ip(pc, "link", "set", PORT, "master", name)
    else:
        name = MACVLAN
        lab_.ip(pc, "link", "add", "link", PORT, "name", name, "type", "macvlan", "mode", "bridge")
    lab_.ip(pc, "link", "set", name, "up")
    lab_.ip(pc, "addr", "add", f"{sc.LAN_V4}/24", "dev", name)
    lab_.ip(net, "addr", "add", f"{sc.GATEWAY_V4}/24", "dev", "lan0")
    lab_.ip(net, "addr", "add", f"{sc.INTERNET_V4}/32", "dev", "lo")
    lab_.ip(pc, "route", "add", "default", "via", sc.GATEWAY_V4, "dev", name, "metric", "100")
    sc._resolv_conf(lab_, pc, [sc.GATEWAY_V4])
    lab.wait_for(lambda: "LOWER_UP" in lab_.ip(pc, "link", "show", name).stdout, f"{name} has no carrier")
    return pc


def policy_routed_tunnel(lab_):
    """Home, plus a TUN whose default route is only in table 51820, reached by wg-quick's two rules."""
    s = sc.home(lab_)
    pc = s.ns
    lab_.exec(pc, "ip", "tuntap", "add", "mode", "tun", "name", sc.TUN)
    lab_.spawn(pc, "python3", "-c",
               "import fcntl,os,struct,time\n"
               "fd=os.open('/dev/net/tun',os.O_RDWR)\n"
               f"fcntl.ioctl(fd,0x400454ca,struct.pack('16sH',b'{sc.TUN}',0x1001))\n"
               "time.sleep(86400)")
    lab_.ip(pc, "addr", "add", f"{sc.TUN_V4}/16", "dev", sc.TUN)
    lab_.ip(pc, "link", "set", sc.TUN, "up")
    lab_.ip(pc, "route", "add", "default", "dev", sc.TUN, "table", str(TUNNEL_TABLE))
    lab_.ip(pc, "rule", "add", "not", "fwmark", str(TUNNEL_TABLE), "table", str(TUNNEL_TABLE), "priority", "32765")
    lab_.ip(pc, "rule", "add", "table", "main", "suppress_prefixlength", "0", "priority", "32764")
    sc._wait_for_carrier(lab_, pc, sc.TUN)
    return s


def cgroup_tree(directory, vpn_pid, user_pid):
    """A cgroup v2 tree as systemd lays it out: a template instance under its template's slice, a
    oneshot without processes, a delegated service whose processes sit in its own sub-group, and a
    user's manager holding a user service."""
    groups = {
        "system.slice/cron.service": "",
        r"system.slice/system-openvpn\x2dclient.slice/" + VPN_UNIT: f"{vpn_pid}\n",
        r"system.slice/system-wg\x2dquick.slice/wg-quick@wg0.service": "",
        "system.slice/containerd.service/payload": f"{user_pid}\n",
        "user.slice/user-1000.slice/session-2.scope": f"{user_pid}\n",
        "user.slice/user-1000.slice/user@1000.service/init.scope": f"{user_pid}\n",
        f"user.slice/user-1000.slice/user@1000.service/app.slice/{USER_UNIT}": f"{user_pid}\n",
    }
    for path, procs in groups.items():
        os.makedirs(os.path.join(directory, path), exist_ok=True)
        for level in range(path.count("/") + 1):
            procs_file = os.path.join(directory, *path.split("/")[:level + 1], "cgroup.procs")
            if not os.path.exists(procs_file):
                open(procs_file, "w").close()
        with open(os.path.join(directory, path, "cgroup.procs"), "w") as f:
            f.write(procs)


class LinuxHosts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        if cls.target.windows:
            raise unittest.SkipTest("Linux host layouts, read by the Linux program")
        cls.lab = lab.Lab("lxh")
        cls.runs = {}
        for kind in ("bridge", "macvlan"):
            cls.runs[kind] = cls.run_json(uplink(cls.lab, kind))
        tunnel = policy_routed_tunnel(cls.lab)
        cls.runs["tunnel"] = cls.run_json(tunnel.ns)

        services = cls.lab.netns("svc")
        vpn = cls.lab.spawn(services, "/bin/sleep", "86400")
        user = cls.lab.spawn(services, "/bin/sleep", "86400")
        tree = cls.lab.tempdir()
        cgroup_tree(tree, vpn.pid, user.pid)
        cls.runs["services"] = cls.run_json(services, binds=[(tree, "/sys/fs/cgroup")])

        # A user outside ping_group_range (a fresh namespace admits no group) and without CAP_NET_RAW.
        home = sc.home(cls.lab)
        wrapper_dir = cls.lab.tempdir()
        wrapper = os.path.join(wrapper_dir, "as-nobody")
        with open(wrapper, "w") as f:
            f.write(f"#!/bin/sh\nexec /usr/bin/setpriv --reuid={NOBODY} --regid={NOBODY} --clear-groups "
                    f"--inh-caps=-all -- {cls.target.path} \"$@\"\n")
        os.chmod(wrapper, 0o755)
        cwd = cls.lab.tempdir()
        os.chmod(cwd, 0o777)
        cls.runs["unprivileged"] = cls.lab.run_for_report(lab.Target(wrapper, "Linux"), home.ns, cwd=cwd)
        cls.runs["privileged"] = cls.lab.run_for_report(cls.target, home.ns)

    @classmethod
    def run_json(cls, ns, **kwargs):
        cwd = cls.lab.tempdir()
        status, out, err, page = cls.lab.run_for_report(cls.target, ns, args=["--json"], cwd=cwd, **kwargs)
        files = [f for f in os.listdir(cwd) if f.endswith(".json")]
        facts = {}
        if files:
            with open(os.path.join(cwd, files[0]), encoding="utf-8") as f:
                facts = json.load(f)["facts"]
        return status, out, err, page, facts

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def run_of(self, name):
        status, out, err, page, *rest = self.runs[name]
        self.assertEqual(status, 0, out + err.decode("utf-8", "replace"))
        self.assertEqual(err, b"")
        self.assertTrue(page, f"the {name} run wrote no report")
        return out, page, (rest[0] if rest else None)

    @staticmethod
    def assessment(facts, name):
        found = [a for a in facts["adapterAssessments"] if a["name"] == name]
        return found[0] if found else None

    @staticmethod
    def interception(page):
        return dict((label, value) for label, value, _ in report.chips(page))["Interception"]

    def test_layered_uplink_over_a_veth_is_a_virtual_switch_carrier(self):
        for kind, name in (("bridge", BRIDGE), ("macvlan", MACVLAN)):
            out, page, facts = self.run_of(kind)
            uplink_ = self.assessment(facts, name)
            self.assertEqual(uplink_["role"], "Carrier", (kind, uplink_))
            self.assertEqual(uplink_["instanceId"], f"ROOT\\NET\\{name}")
            self.assertEqual(uplink_["providerName"], f"vEthernet ({kind})")
            self.assertIn("known virtual/bridged carrier identity", uplink_["evidence"])
            self.assertNotIn("virtual/non-physical adapter owns default route", uplink_["evidence"])
            self.assertEqual(self.assessment(facts, PORT)["providerName"], "vEthernet (veth)")
            self.assertEqual(self.interception(page), "NONE", kind)
            self.assertIn(f"  IPv4 egress -> {name} (ifIndex ", section(out, "6b"))
            self.assertIn(f"  223.5.5.5   IPv4 : OK\n", section(out, "10"))

    def test_policy_routed_tunnel_shows_its_default_route_and_owns_the_egress(self):
        out, page, facts = self.run_of("tunnel")
        tun = self.assessment(facts, sc.TUN)
        self.assertEqual(tun["role"], "Tunnel", tun)
        self.assertTrue(tun["hasDefaultV4"])
        index = tun["ifIndex"]
        routes = section(out, "6")
        self.assertRegex(routes, rf"(?m)^    ifIndex {index:<4} {sc.TUN} +metric 0$")
        self.assertRegex(routes, rf"(?m)^    ifIndex \d+ +{sc.CARRIER} +{re.escape(sc.GATEWAY_V4)} +metric 100$")
        entries = [l for l in lines(out, "6b") if l.startswith("    ")]
        self.assertTrue(entries[0].startswith("    >>  ") and sc.TUN in entries[0], entries)
        self.assertIn(sc.CARRIER, entries[1])
        self.assertIn(f"  IPv4 egress -> {sc.TUN} (ifIndex {index})  src {sc.TUN_V4}  via \n", section(out, "6b"))
        rows = {(r["ifIndex"], r.get("table"), r.get("rulePriority")) for r in facts["routes"]
                if r["prefixLen"] == 0 and r["family"] == 2}
        carrier = self.assessment(facts, sc.CARRIER)["ifIndex"]
        # The main table's default is passed over for ordinary traffic by the suppressing rule, then
        # reached by the main rule after the tunnel's.
        self.assertEqual(rows, {(index, TUNNEL_TABLE, 32765), (carrier, 254, 32766)})
        self.assertEqual(self.interception(page), "VISIBLE-TUNNEL")

    def test_services_are_found_wherever_systemd_puts_them(self):
        _, page, facts = self.run_of("services")
        services = {s["name"]: s["binaryPath"] for s in facts["vpnServices"]}
        sleep = os.path.realpath("/bin/sleep")
        self.assertEqual(services, {VPN_UNIT: sleep, USER_UNIT: sleep})
        self.assertIn(f"<td>service</td><td>{VPN_UNIT}</td><td>{VPN_UNIT}</td><td>Running</td><td>{sleep}</td>",
                      page)

    def test_refused_echo_is_said_in_the_report_only(self):
        out, page, _ = self.run_of("unprivileged")
        privileged_out, privileged_page, _ = self.run_of("privileged")
        self.assertIn("  223.5.5.5   IPv4 : FAIL\n", section(out, "10"))
        self.assertIn("  223.5.5.5   IPv4 : OK\n", section(privileged_out, "10"))
        self.assertEqual([l.split()[-1] for l in lines(out, "9")], ["FAIL", "FAIL"])
        row = re.search(r"<tr><td>ICMP echo</td><td>not permitted</td><td>([^<]*)</td><td></td></tr>", page)
        self.assertIsNotNone(row, "no refused-echo row in the report")
        self.assertIn("ping_group_range", row.group(1))
        self.assertNotIn("<td>ICMP echo</td>", privileged_page)


if __name__ == "__main__":
    lab.main()
