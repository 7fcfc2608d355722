"""The home network with real proxies on loopback and HTTP_PROXY set: listeners, processes and the
interception evidence, as the console summary and the report show them."""

import os
import re
import unittest

import lab
import scenarios as sc
from summary import lines, section

SOCKS_PORT = 1080
HTTP_PORT = 7890
TINYPROXY_CONFIG = "Port {port}\nListen 127.0.0.1\nTimeout 5\nMaxClients 8\nLogLevel Critical\n"
# Accepts on the loopback discard port and holds each connection, so that the proxy's CONNECT succeeds.
DISCARD_LISTENER = """
import socket
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 9)); s.listen(8)
held = []
while True:
    held.append(s.accept()[0])
"""
RAW_EVIDENCE = re.compile(r'Raw evidence level</span><span class="v">([A-Z-]+)</span></div><div><span class="k">Score'
                          r'</span><span class="v">([0-9.]+)</span></div><div><span class="k">Signals</span>'
                          r'<span class="v">([^<]*)</span>')


class LocalProxies(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("lpx")
        cls.plain = cls.run_in(sc.home(cls.lab))
        proxied = sc.home(cls.lab)
        config = os.path.join(cls.lab.tempdir(), "tinyproxy.conf")
        with open(config, "w") as f:
            f.write(TINYPROXY_CONFIG.format(port=HTTP_PORT))
        cls.lab.spawn(proxied.ns, "python3", "-c", DISCARD_LISTENER)
        cls.lab.spawn(proxied.ns, "microsocks", "-i", "127.0.0.1", "-p", str(SOCKS_PORT))
        cls.lab.spawn(proxied.ns, "tinyproxy", "-d", "-c", config)
        for port in (9, SOCKS_PORT, HTTP_PORT):
            cls.lab.wait_listening(proxied.ns, port)
        cls.proxied = cls.run_in(proxied, {"HTTP_PROXY": f"http://127.0.0.1:{HTTP_PORT}"})

    @classmethod
    def run_in(cls, scenario, env=None):
        return cls.lab.run_for_report(cls.target, scenario.ns, env=env)

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def test_both_runs_complete(self):
        for status, out, err, report in (self.plain, self.proxied):
            self.assertEqual(status, 0, out)
            self.assertEqual(err, b"")
            self.assertIn("</html>", report)

    def listener(self, port):
        found = [l for l in lines(self.proxied[1], "8") if re.match(rf"^  127\.0\.0\.1 +{port} ", l)]
        self.assertEqual(len(found), 1, section(self.proxied[1], "8"))
        return found[0]

    def test_the_proxies_are_listed_with_their_owners(self):
        if self.target.windows:
            # Wine cannot see Linux processes: the listeners are there, their owner is not.
            self.listener(SOCKS_PORT)
            self.listener(HTTP_PORT)
            return
        self.assertRegex(self.listener(SOCKS_PORT), rf"^  127\.0\.0\.1 {{31}} {SOCKS_PORT} +\d+ +microsocks$")
        self.assertRegex(self.listener(HTTP_PORT), rf"^  127\.0\.0\.1 {{31}} {HTTP_PORT} +\d+ +tinyproxy$")
        # Neither image name is a known proxy client, so the name-based process list stays empty.
        self.assertEqual(lines(self.proxied[1], "7"), ["  none found"])

    def test_interception_evidence_rises_with_the_confirmed_proxies(self):
        plain = RAW_EVIDENCE.search(self.plain[3])
        proxied = RAW_EVIDENCE.search(self.proxied[3])
        self.assertIsNotNone(plain)
        self.assertIsNotNone(proxied)
        if self.target.windows:
            return  # listeners owned by pid 0 are not assessed under Wine
        self.assertEqual(plain.group(1), "NONE")
        self.assertGreater(float(proxied.group(2)), float(plain.group(2)), proxied.group(3))
        self.assertIn(proxied.group(1), ("POSSIBLE", "LIKELY"))
        self.assertRegex(proxied.group(3), r"(?i)socks5|http connect|proxy")
        print("\n    interception:", proxied.group(1), proxied.group(2), "-", proxied.group(3))

    def test_the_configured_proxy_resolves_to_its_listener_owner(self):
        report = self.proxied[3]
        self.assertNotIn("policy-127_0_0_1_7890", self.plain[3])
        if self.target.windows:
            # Wine cannot name the owner of a Linux listener: the endpoint is neither resolved nor dead.
            self.assertNotIn("cfgproxy-dead-127_0_0_1_7890", report)
            return
        self.assertRegex(report, r'"from":"app","fromItem":"policy-127_0_0_1_7890","to":"proc-\d+-l1",'
                                 r'"kind":"policy","dead":false,"bad":false,"confidence":1(\.0)?,')
        # The explicit proxy explains the raw evidence, which stays visible in its own section.
        self.assertIn('Interception <b class="ok">EXPLICIT-PROXY</b>', report)


if __name__ == "__main__":
    lab.main()
