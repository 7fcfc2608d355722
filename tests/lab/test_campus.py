"""The program on the lab's KAM campus network, whose hosts the peer namespace plays, and at home, where
the campus addresses lead nowhere: section 11 of the console summary as a user reads it.

The report shows no campus facts, so the console is what is checked."""

import re
import unittest

import lab
import scenarios as sc
from summary import lines, section

CAMPUS_ADDRESSES = (sc.CAMPUS_PORTAL, sc.CAMPUS_API, sc.CAMPUS_DNS_PRIMARY, sc.CAMPUS_DNS_BACKUP)


class CampusNetwork(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("kam")
        cls.runs = {}
        for name in ("campus", "home"):
            scenario = getattr(sc, name)(cls.lab)
            status, out, err = cls.lab.run(cls.target, scenario.ns)
            cls.runs[name] = (scenario, status, out, err)

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def output(self, name):
        _, status, out, err = self.runs[name]
        self.assertEqual(status, 0, out + err.decode("utf-8", "replace"))
        return out

    def campus_lines(self, out):
        """Section 11 without the report line that follows the summary."""
        body = lines(out, "11")
        self.assertTrue(body[-1].startswith("  HTML report -> "), body)
        return body[:-1]

    def carrier_route(self, out):
        m = re.search(r"^  " + re.escape(sc.CARRIER) + r"  \(ifIndex (\d+)\)$", section(out, "2"), re.M)
        self.assertIsNotNone(m, section(out, "2"))
        return f"{sc.CARRIER} (ifIndex {m.group(1)}) gw {sc.GATEWAY_V4}"

    def test_campus_hosts_answer_and_the_login_is_read(self):
        out = self.output("campus")
        route = self.carrier_route(out)
        expected = []
        for address in CAMPUS_ADDRESSES:
            expected += [f"  {address:<16}OK", f"      via {route}"]
        resolver = self.runs["campus"][0].facts["resolver"]
        expected += [
            "  Portal 10.0.0.55 HTTP : OK",
            f"      title = {sc.CAMPUS_PORTAL_TITLE}",
            "  Login 10.0.0.55 rad_user_info : OK",
            f"      id = {sc.CAMPUS_USER}   ip = {sc.CAMPUS_ONLINE_IP}   sum_bytes = {sc.CAMPUS_SUM_BYTES}"
            f"   sum_seconds = {sc.CAMPUS_SUM_SECONDS}",
            "  DNS 10.0.32.32      " + ("OK" if resolver else "FAIL"),
            "      -> " + (sc.CAMPUS_DNS_ANSWER if resolver else ""),
            "  DNS 10.0.32.33      FAIL",  # the backup address has no resolver
            "      -> ",
            # The port takes the connection but sends no status line.
            "  API 10.0.0.54:8800 HTTP : OK",
            "      (fallback: tcp probe)",
        ]
        self.assertEqual(self.campus_lines(out), expected)
        if not resolver:
            self.skipTest("dnsmasq is not installed: the campus resolver was not checked")

    def test_off_campus_nothing_answers(self):
        out = self.output("home")
        route = self.carrier_route(out)
        expected = []
        for address in CAMPUS_ADDRESSES:
            expected += [f"  {address:<16}FAIL", f"      via {route}"]
        expected += [
            "  Portal 10.0.0.55 HTTP : FAIL",
            "      title = ",
            "  Login 10.0.0.55 rad_user_info : FAIL",
            "      (unrecognized response shape)",
            "  DNS 10.0.32.32      FAIL",
            "      -> ",
            "  DNS 10.0.32.33      FAIL",
            "      -> ",
            "  API 10.0.0.54:8800 HTTP : FAIL",
            "      (fallback: tcp probe)",
        ]
        self.assertEqual(self.campus_lines(out), expected)


if __name__ == "__main__":
    lab.main()
