"""The route/source consistency check against real routing: a policy rule sends TCP to port 443 out
of a second link while the routing table's answer for the bare destination still names the carrier,
the way a TUN-mode proxy or a redirecting driver captures connections. The peer accepts on
1.1.1.1:443, so the check's connection really succeeds."""

import html
import re
import unittest

import lab
import scenarios as sc

SPLIT_LINK = "wl-split"
SPLIT_V4 = "10.77.0.2"
SPLIT_PEER_V4 = "10.77.0.1"
ACCEPTOR = f"""
import socket
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("{sc.ROUTE_PROBE_V4}", 443)); s.listen(8)
held = []
while True:
    held.append(s.accept()[0])
"""
TABLE = re.compile(r"V5\.2 active route/source consistency probe.*?</table>", re.S)
MISMATCH_REASON = "active TCP socket source interface disagrees with Find-NetRoute"


class RouteSource(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("rsp")
        home = sc.home(cls.lab)
        cls.lab.spawn(home.facts["peer"], "python3", "-c", ACCEPTOR)
        cls.lab.wait_listening(home.facts["peer"], 443)
        cls.home = cls.run_in(home)

        split = sc.home(cls.lab)
        cls.lab.spawn(split.facts["peer"], "python3", "-c", ACCEPTOR)
        cls.lab.veth(split.ns, SPLIT_LINK, split.facts["peer"], "split0")
        cls.lab.ip(split.ns, "addr", "add", f"{SPLIT_V4}/30", "dev", SPLIT_LINK)
        cls.lab.ip(split.facts["peer"], "addr", "add", f"{SPLIT_PEER_V4}/30", "dev", "split0")
        cls.lab.ip(split.ns, "route", "add", "default", "via", SPLIT_PEER_V4, "dev", SPLIT_LINK, "table", "100")
        cls.lab.ip(split.ns, "rule", "add", "ipproto", "tcp", "dport", "443", "lookup", "100", "priority", "100")
        cls.lab.wait_listening(split.facts["peer"], 443)
        cls.indices = {link: cls.index(split.ns, link) for link in (sc.CARRIER, SPLIT_LINK)}
        cls.split = cls.run_in(split)

    @classmethod
    def index(cls, ns, link):
        out = cls.lab.exec(ns, "cat", f"/sys/class/net/{link}/ifindex").stdout
        return int(out)

    @classmethod
    def run_in(cls, scenario):
        return cls.lab.run_for_report(cls.target, scenario.ns)

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def probe_row(self, report):
        table = TABLE.search(report)
        self.assertIsNotNone(table, "no route/source table in the report")
        rows = re.findall(r"<tr>(.*?)</tr>", table.group(0), re.S)
        cells = [[html.unescape(c) for c in re.findall(r"<td>(.*?)</td>", r, re.S)] for r in rows]
        cells = [c for c in cells if c]
        self.assertEqual(len(cells), 1, table.group(0))
        return dict(zip(("target", "connected", "route_if", "socket_if", "source", "mismatch"), cells[0]))

    def test_runs_complete(self):
        for status, out, err, report in (self.home, self.split):
            self.assertEqual(status, 0, out)
            self.assertEqual(err, b"")
            self.assertIn("</html>", report)

    def test_agreeing_route_and_source(self):
        row = self.probe_row(self.home[3])
        self.assertEqual(row["target"], "1.1.1.1:443")
        self.assertEqual(row["connected"], "yes")
        self.assertEqual(row["source"], sc.LAN_V4)
        self.assertEqual(row["mismatch"], "no")
        self.assertNotIn(MISMATCH_REASON, self.home[3])
        if self.target.windows:
            self.assertEqual(row["route_if"], "0")  # Wine cannot answer GetBestRoute2
        else:
            self.assertEqual(row["route_if"], row["socket_if"])
            self.assertNotEqual(row["route_if"], "0")

    def test_captured_connection_is_a_mismatch(self):
        row = self.probe_row(self.split[3])
        self.assertEqual(row["connected"], "yes")
        self.assertEqual(row["source"], SPLIT_V4)
        if self.target.windows:
            # The socket side still works; without the route side no mismatch may be claimed.
            self.assertNotEqual(row["socket_if"], "0")
            self.assertEqual(row["route_if"], "0")
            self.assertEqual(row["mismatch"], "no")
            return
        self.assertEqual(int(row["route_if"]), self.indices[sc.CARRIER])
        self.assertEqual(int(row["socket_if"]), self.indices[SPLIT_LINK])
        self.assertEqual(row["mismatch"], "yes")
        self.assertIn(MISMATCH_REASON, self.split[3])


if __name__ == "__main__":
    lab.main()
