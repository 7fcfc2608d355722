"""The program in the lab's home, tun and offline networks, read through its console summary and
the report it writes."""

import json
import re
import socket
import unittest

import lab
import report
import scenarios as sc
from summary import lines, section, sections

# Names that are markup: a down adapter in the home network (a valid Linux link name) and the computer
# name. Every place the report shows them must show them as text.
HOSTILE_ADAPTER = "wl<b>\"&'x"
HOSTILE_HOST = "lab<pc>&\"'1"
ESCAPED_ADAPTER = "wl&lt;b&gt;&quot;&amp;&#39;x"

GATEWAY_V4_TOKEN = "192_168_50_1"
GATEWAY_V6_TOKEN = "2001_db8_50_1"


class NetworkScenarios(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("net")
        cls.runs = {}
        for name in ("home", "tun", "offline"):
            scenario = getattr(sc, name)(cls.lab)
            if name == "home":
                cls.lab.ip(scenario.ns, "link", "add", HOSTILE_ADAPTER, "type", "veth", "peer", "name", "wlpeer0",
                           "netns", scenario.facts["peer"])
            status, out, err, page = cls.lab.run_for_report(cls.target, scenario.ns,
                                                            env={"COMPUTERNAME": HOSTILE_HOST})
            cls.runs[name] = (scenario, status, out, err)
            cls.reports = getattr(cls, "reports", {})
            cls.reports[name] = page

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

    # -- the written report -----------------------------------------------------------------------
    def page(self, name):
        self.output(name)
        page = self.reports[name]
        self.assertTrue(page, f"the {name} run wrote no report")
        return page

    def indexes(self, name):
        """The carrier's and the TUN's interface index as the console shows them."""
        out = self.output(name)
        return self.if_index(out, sc.CARRIER), self.if_index(out, sc.TUN) if name == "tun" else None

    def test_report_chips_in_fixed_order(self):
        # Wine sets COMPUTERNAME itself, from the host name, over the environment the caller gave.
        host = socket.gethostname().split(".")[0].upper()[:15] if self.wine else HOSTILE_HOST
        # Wine has no GetBestRoute2, so no egress adapter is selected and nothing names the tunnel.
        egress = {"home": (sc.CARRIER, sc.CARRIER, "NONE"), "tun": (sc.TUN, sc.CARRIER, "VISIBLE-TUNNEL"),
                  "offline": ("", "", "NONE")}
        # The TUN's far end is a process that drops every packet, so the internet answers only at home.
        internet = {"home": ("OK", "ok"), "tun": ("FAIL", "fail"), "offline": ("FAIL", "fail")}
        for name in self.runs:
            v4, v6, level = ("", "", "NONE") if self.wine else egress[name]
            self.assertEqual(report.chips(self.page(name)), [
                ("Host", host, None), ("Egress IPv4", v4, None), ("Egress IPv6", v6, None),
                ("IPv4 Internet", *internet[name]), ("WinINET proxy", "off", None),
                ("Graph", "V5.2 entity-compact", None), ("TCP evidence", "3 snapshots", None),
                ("Interception", level, "ok"), ("Proxy candidates", "0 proc / 0 endpoints", None)], name)

    def test_report_chain_is_hash_linked(self):
        for name in self.runs:
            blocks = report.chain(self.page(name))
            prev = report.ZERO_HASH
            for height, block in enumerate(blocks):
                self.assertEqual(block.height, height, (name, block))
                self.assertEqual(block.prev, prev, (name, block))
                self.assertEqual(block.hash, report.block_hash(height, block, prev), (name, block))
                self.assertEqual((block.hash_shown, block.prev_shown), (block.hash[:14], prev[:14]))
                prev = block.hash

    def test_report_chain_blocks_per_scenario(self):
        applications = ("Applications", "local user apps & system traffic", "", [("traffic", "all local TCP/UDP")])
        for name in self.runs:
            carrier, tun = self.indexes(name) if name != "offline" else (None, None)
            if name == "offline":
                expected = [applications, ("Physical NIC", "upstream carrier", "FAIL", []),
                            ("LAN Gateway", "first hop to ISP", "FAIL", [("ping", "timeout")]),
                            ("Internet / ISP", "IPv4 reachability", "FAIL", [("probe", sc.INTERNET_V4)])]
            else:
                nic = ("Physical NIC", "upstream carrier", "OK",
                       [("adapter", sc.CARRIER), ("ifIndex", str(carrier)), ("IPv4", sc.LAN_V4),
                        ("gateway", sc.GATEWAY_V4)])
                gateway = ("LAN Gateway", "first hop to ISP", "OK", [("address", sc.GATEWAY_V4), ("ping", "reachable")])
                internet_rows = [("probe", sc.INTERNET_V4)]
                if not self.wine:  # no selected egress under Wine: no egress name and source
                    egress, source = (sc.CARRIER, sc.LAN_V4) if name == "home" else (sc.TUN, sc.TUN_V4)
                    internet_rows += [("egress", egress), ("src", source)]
                internet = ("Internet / ISP", "IPv4 reachability", "OK" if name == "home" else "FAIL", internet_rows)
                expected = [applications, nic, gateway, internet]
                if name == "tun" and not self.wine:
                    expected.insert(1, (f"{sc.TUN} TUN", "selected default route (tunnel)", "OK",
                                        [("IPv4", f"{sc.TUN_V4}/16"), ("ifIndex", str(tun)), ("DNS", sc.GATEWAY_V4)]))
            blocks = report.chain(self.page(name))
            self.assertEqual([(b.title, b.sub, b.status, b.values()) for b in blocks], expected, name)
            # Only the tunnel block stands for the selected egress adapter.
            self.assertEqual([b.title for b in blocks if b.selected],
                             [f"{sc.TUN} TUN"] if name == "tun" and not self.wine else [], name)

    def path_graph(self, name):
        """The graph's traffic path: nodes by id and the edges between them. Sidecars (campus probes,
        interception evidence) are not hops; they may hang off the path only by their own edge kinds."""
        doc = report.graph(self.page(name))
        self.assertEqual(list(doc), ["version", "profile", "evidenceModel", "interception", "tcpSnapshots",
                                     "limits", "nodes", "edges"])
        self.assertEqual((doc["version"], doc["tcpSnapshots"], doc["limits"]),
                         (5.2, 3, {"maxDepth": 10, "maxNodes": 90, "maxRepeatPerPid": 3}))
        nodes = report.node_map(doc)
        self.assertEqual(len(nodes), len(doc["nodes"]), "node ids are unique")
        path = {i: n for i, n in nodes.items() if n["kind"] in ("source", "tun", "nic", "gw", "isp", "remote")}
        for node_id in nodes.keys() - path.keys():
            into = {e["kind"] for e in doc["edges"] if e["to"] == node_id}
            self.assertTrue((nodes[node_id]["kind"] == "kam" or node_id == "intercept-evidence")
                            and into <= {"kam", "evidence"}, (name, nodes[node_id], into))
        edges = {e for e in report.edge_set(doc) if e[0] in path and e[2] in path}
        return doc, path, edges

    def expected_path(self, name):
        """The traffic path the scenario must give: nodes as id -> (kind, ifIndex, layer), the edges, the
        row ids of "app" in order, rows as (node, row) -> (v, status, probe), evidence of the default edges."""
        nodes, edges, app_rows, rows, evidence = {"app": ("source", None, None)}, set(), ["adapter-inventory"], {}, {}
        if name == "offline":
            return nodes, edges, app_rows, rows, evidence
        carrier, tun = self.indexes(name)
        nic, gw4, isp4 = (f"nic-{carrier}", f"gw-{carrier}-ipv4-{GATEWAY_V4_TOKEN}",
                          f"isp-{carrier}-ipv4-{GATEWAY_V4_TOKEN}")
        nodes.update({nic: ("nic", carrier, None), gw4: ("gw", None, None), isp4: ("isp", None, None)})
        edges.add((nic, f"gateway-ipv4-{GATEWAY_V4_TOKEN}", gw4, "main", 1.0, False))
        rows[(nic, "ipv4")] = (sc.LAN_V4, "OK", False)
        rows[(gw4, "address")] = (sc.GATEWAY_V4, "OK", False)
        # The home carrier is the selected IPv4 route and its ISP is probed. Behind the TUN, and under Wine
        # where nothing is selected, the carrier is only an up default-route candidate behind an "alt" row.
        if name == "home" and not self.wine:
            nodes["remote-223_5_5_5"] = ("remote", None, None)
            edges |= {("app", "default", nic, "main", 1.0, False), (gw4, "internet", isp4, "main", 1.0, False),
                      (isp4, "remote-hop", "remote-223_5_5_5", "main", 1.0, False)}
            app_rows[:0] = ["default"]
            rows[(isp4, "probe")] = (sc.INTERNET_V4, "OK", True)
            evidence[("app", "default", nic)] = "OS selected default route"
        else:
            alt = f"alt-{carrier}-{GATEWAY_V4_TOKEN}"
            edges |= {("app", alt, nic, "alt", 0.45, False), (gw4, "internet", isp4, "alt", 0.45, False)}
            app_rows[:0] = [alt]
            rows[(isp4, "probe")] = (sc.CARRIER, "WARN", False)
        if name == "tun" and not self.wine:
            tun_id = f"tun-{tun}-l1"
            nodes[tun_id] = ("tun", tun, 1)
            edges.add(("app", "default", tun_id, "main", 1.0, False))
            app_rows[:0] = ["default"]
            rows[(tun_id, "ipv4")] = (sc.TUN_V4, "OK", False)
            rows[(tun_id, "role")] = ("Tunnel", "", False)
            # No proxy core runs in the lab, so nothing tells which process the TUN carries.
            rows[(tun_id, "owner")] = ("owner not exposed", "WARN", False)
            evidence[("app", "default", tun_id)] = (
                "OS selected default route (route selection confirmed; adapter role separately scored)")
        if self.wine:  # Wine reports no IPv6 routes: no IPv6 chain at all
            return nodes, edges, app_rows, rows, evidence
        gw6, isp6 = f"gw-{carrier}-ipv6-{GATEWAY_V6_TOKEN}", f"isp-{carrier}-ipv6-{GATEWAY_V6_TOKEN}"
        nodes.update({gw6: ("gw", None, None), isp6: ("isp", None, None), "remote-2400_3200_1": ("remote", None, None)})
        edges |= {(nic, f"gateway-ipv6-{GATEWAY_V6_TOKEN}", gw6, "main", 1.0, False),
                  (gw6, "internet", isp6, "main", 1.0, False),
                  (isp6, "remote-hop", "remote-2400_3200_1", "main", 1.0, False)}
        rows[(isp6, "probe")] = (sc.INTERNET_V6, "OK", True)
        app_rows.insert(1, "default-v6")
        # At home IPv6 shares the IPv4 carrier, whose row already leads there; behind the TUN the carrier
        # is the selected IPv6 route in its own right.
        if name == "tun":
            edges.add(("app", "default-v6", nic, "main", 1.0, False))
            evidence[("app", "default-v6", nic)] = "OS selected IPv6 default route"
        else:  # the carrier already drawn names the selected IPv6 route in a row of its own, without an edge
            app_rows.insert(2, f"route6-{carrier}-{GATEWAY_V6_TOKEN}")
            rows[("app", app_rows[2])] = (sc.CARRIER, "OK", False)
        return nodes, edges, app_rows, rows, evidence

    def test_report_graph_path_per_scenario(self):
        for name in self.runs:
            doc, path, edges = self.path_graph(name)
            nodes, expected_edges, app_rows, rows, evidence = self.expected_path(name)
            self.assertEqual({i: (n["kind"], n.get("ifIndex"), n.get("layer")) for i, n in path.items()}, nodes, name)
            self.assertEqual([i for i, n in path.items() if n["sel"]], [i for i in nodes if i.startswith("tun-")])
            self.assertEqual(edges, expected_edges, name)
            self.assertEqual([i["id"] for i in path["app"]["items"]], app_rows, name)
            for (node, row), want in rows.items():
                got = report.item(path[node], row)
                self.assertEqual((got["v"], got["status"], got["probe"]), want, (name, node, row))
            written = {(e["from"], e["fromItem"], e["to"]): e["evidence"] for e in doc["edges"]}
            self.assertEqual({key: written[key] for key in evidence}, evidence, name)

    def test_report_graph_inventory_lists_other_adapters(self):
        for name in self.runs:
            doc = report.graph(self.page(name))
            inventory = report.item(report.node_map(doc)["app"], "adapter-inventory")
            rows = {r["v"]: (r["k"], r["status"]) for r in inventory["detail"]["items"]}
            self.assertEqual(inventory["v"], str(len(inventory["detail"]["items"])))
            expected = {}
            if name == "home":
                expected[HOSTILE_ADAPTER] = ("adapter", "DOWN")
            if name == "tun" and self.wine:
                expected[sc.TUN] = ("tunnel", "OK")  # with no route selected the TUN is an available tunnel
            self.assertEqual(rows, expected, name)

    def test_report_keeps_markup_in_names_as_text(self):
        for name in self.runs:
            page = self.page(name)
            text = report.graph_text(page)
            self.assertNotIn("<", text, f"{name}: the graph document must not be able to end its script element")
            if name == "home":
                # The hostile adapter name is in the document, so the check above had a "<" to keep out.
                self.assertIn(HOSTILE_ADAPTER, set(report.json_strings(json.loads(text))))
                self.assertNotIn(HOSTILE_ADAPTER, page)
                self.assertIn(ESCAPED_ADAPTER, page)
            if not self.wine:
                self.assertNotIn(HOSTILE_HOST, page)
                self.assertIn("<title>WireLux Report - lab&lt;pc&gt;&amp;&quot;&#39;1</title>\n", page)


if __name__ == "__main__":
    lab.main()
