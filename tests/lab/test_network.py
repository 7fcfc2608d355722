"""The program in the lab's home, tun and offline networks, read through its console summary."""

import os
import re
import unittest

import lab
import scenarios as sc
from summary import lines, section, sections


class NetworkScenarios(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("net")
        cls.runs = {}
        for name in ("home", "tun", "offline"):
            scenario = getattr(sc, name)(cls.lab)
            cwd = cls.lab.tempdir()
            status, out, err = cls.lab.run(cls.target, scenario.ns, cwd=cwd)
            cls.runs[name] = (scenario, status, out, err)
            cls.reports = getattr(cls, "reports", {})
            files = lab.report_files(cwd)
            cls.reports[name] = ""
            if files:
                with open(os.path.join(cwd, files[0]), encoding="utf-8-sig") as f:
                    cls.reports[name] = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def output(self, name):
        _, status, out, err = self.runs[name]
        self.assertEqual(status, 0, out + err.decode("utf-8", "replace"))
        self.assertEqual(err, b"")
        return out

    @property
    def wine(self):
        return self.target.windows

    def adapter_line(self, out, name):
        found = [l for l in lines(out, "1") if re.match(r"^\[[x ]\]    " + re.escape(name) + " ", l)]
        self.assertEqual(len(found), 1, section(out, "1"))
        return found[0]

    def if_index(self, out, name):
        m = re.search(r"^  " + re.escape(name) + r"  \(ifIndex (\d+)\)$", section(out, "2"), re.M)
        self.assertIsNotNone(m, section(out, "2"))
        return int(m.group(1))

    def test_every_section_is_printed_in_order(self):
        for name in self.runs:
            titles = list(sections(self.output(name)))
            self.assertEqual([t.split(" ")[0] for t in titles],
                             ["1.", "2.", "3.", "4.", "5.", "6.", "6b.", "7.", "8.", "9.", "10.", "11."], name)

    def test_home_adapters_and_addresses(self):
        out = self.output("home")
        carrier = self.adapter_line(out, sc.CARRIER)
        self.assertRegex(carrier, r"^\[x\]    vEthernet-lan {21} 802\.3 {11}")
        self.assertRegex(self.adapter_line(out, "lo"), r"^\[x\]    lo {32} Loopback ")
        ip = section(out, "2")
        self.assertIn(f"    IPv4      : {sc.LAN_V4}\n", ip)
        if not self.wine:
            self.assertIn(f"    IPv6(glob): {sc.LAN_V6}\n", ip)
            self.assertRegex(ip, rf"    Gateway   : {re.escape(sc.GATEWAY_V4)}, {re.escape(sc.GATEWAY_V6)}\n")
        else:
            self.assertIn(f"    Gateway   : {sc.GATEWAY_V4}\n", ip)  # Wine reports no IPv6 gateway
        dns = [l for l in lines(out, "3") if l.startswith(sc.CARRIER)]
        self.assertEqual(len(dns), 1, section(out, "3"))
        self.assertRegex(dns[0], rf"^vEthernet-lan +(Enabled|Disabled) +{re.escape(sc.GATEWAY_V4)}$")

    def test_home_default_routes_and_egress(self):
        out = self.output("home")
        index = self.if_index(out, sc.CARRIER)
        routes = section(out, "6")
        self.assertRegex(routes, rf"  IPv4:\n    ifIndex {index:<4} vEthernet-lan {{21}} {re.escape(sc.GATEWAY_V4)} +metric \d+\n")
        egress = section(out, "6b")
        # Without a best-route answer nothing is marked as the selected egress.
        marker = "   " if self.wine else ">> "
        self.assertRegex(egress, rf"(?m)^    {marker} +\d+ +vEthernet-lan +{re.escape(sc.GATEWAY_V4)} +ifIndex {index}\n")
        if self.wine:
            self.assertIn("  IPv4 egress -> none\n", egress)  # Wine has no GetBestRoute2
        else:
            self.assertIn(f"  IPv4 egress -> vEthernet-lan (ifIndex {index})  src {sc.LAN_V4}  via {sc.GATEWAY_V4}\n",
                          egress)
            self.assertIn(f"  IPv6 egress -> vEthernet-lan (ifIndex {index})  src {sc.LAN_V6}  via {sc.GATEWAY_V6}\n",
                          egress)

    def test_home_gateways_and_internet_answer(self):
        out = self.output("home")
        index = self.if_index(out, sc.CARRIER)
        gateways = section(out, "9")
        self.assertIn(f"  {sc.GATEWAY_V4:<39} IPv4   ifIndex {index:<4} OK\n", gateways)
        internet = section(out, "10")
        self.assertRegex(internet, r"  223\.5\.5\.5   IPv4 : OK\n")
        if self.wine:
            self.assertRegex(internet, r"  2400:3200::1 IPv6 : FAIL\n")  # Wine has no ICMPv6
        else:
            self.assertIn(f"  {sc.GATEWAY_V6:<39} IPv6   ifIndex {index:<4} OK\n", gateways)
            self.assertRegex(internet, r"  2400:3200::1 IPv6 : OK\n")

    def test_tun_owns_the_egress(self):
        out = self.output("tun")
        self.assertIn(sc.TUN, section(out, "1"))
        tun_index = self.if_index(out, sc.TUN)
        egress = section(out, "6b")
        entries = [l for l in egress.split("\n") if l.startswith("    ")]
        self.assertIn(sc.TUN, entries[0], "the TUN route has the lowest effective metric")
        self.assertTrue(entries[0].startswith("        " if self.wine else "    >> "), egress)
        if not self.wine:
            self.assertIn(f"  IPv4 egress -> {sc.TUN} (ifIndex {tun_index})  src {sc.TUN_V4}  via \n", egress)

    def test_tun_adapter_is_assessed_as_a_tunnel(self):
        self.output("tun")
        rows = [re.sub(r"<[^>]+>", "|", r) for r in re.findall(r"<tr>(?:(?!</tr>).)*</tr>", self.reports["tun"], re.S)]
        assessed = [r for r in rows if f"|{sc.TUN}|" in r and ("|Tunnel|" in r or "|SuspectedTunnel|" in r)]
        self.assertTrue(assessed, "no tunnel assessment for the TUN adapter in the report")
        if not self.wine:
            self.assertIn("|Tunnel|", assessed[0])
        carrier = [r for r in rows if f"|{sc.CARRIER}|" in r and "|Carrier|" in r]
        self.assertTrue(carrier, "the veth carrier is not assessed as a carrier")

    def test_offline_has_nothing_to_reach(self):
        out = self.output("offline")
        self.assertEqual([l for l in lines(out, "1")[1:] if not l.startswith("  [x] = Up")][0][:6], "[x]   ")
        self.assertIn("  IPv4 egress -> none\n", section(out, "6b"))
        self.assertIn("  IPv6 egress -> none\n", section(out, "6b"))
        self.assertEqual(section(out, "9").strip(), "")
        self.assertIn("  223.5.5.5   IPv4 : FAIL\n", section(out, "10"))
        self.assertIn("  2400:3200::1 IPv6 : FAIL\n", section(out, "10"))


if __name__ == "__main__":
    lab.main()
