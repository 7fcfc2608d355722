"""The program's SOCKS5, HTTP CONNECT and GET probes against real peers from Debian on loopback.

The probes run through a small test-only program (tests/tools/probe_tool) built beside the program
under test; the peers (microsocks, tinyproxy, Python's own web server) run inside the lab's namespaces.
"""

import os
import shutil
import unittest

import lab

VERDICT_407 = "HTTP CONNECT / 407"
VERDICT_PROXY_AGENT = "HTTP CONNECT / Proxy-Agent"

TINYPROXY_CONFIG = """Port {port}
Listen 127.0.0.1
Timeout 5
MaxClients 8
LogLevel Critical
"""

# Accepts on the loopback discard port and holds each connection, so that a CONNECT to it succeeds.
DISCARD_LISTENER = """
import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 9)); s.listen(8)
held = []
while True:
    held.append(s.accept()[0])
"""

PORTAL_PAGE = "<html><HEAD><TITLE>\n  Campus Portal  </TITLE></HEAD><body>login</body></html>\n"


def probe_tool(target):
    name = "wirelux_probe_tool" + (".exe" if target.windows else "")
    path = os.environ.get("WIRELUX_PROBE_TOOL") or os.path.join(os.path.dirname(target.path), "tests", "tools", name)
    return lab.Target(path, target.system) if os.path.exists(path) else None


class ProxyPeers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tool = probe_tool(lab.TARGET)
        if cls.tool is None:
            raise unittest.SkipTest("the probe tool is not built beside the program")
        cls.lab = lab.Lab("prx")
        # The CONNECT target, the loopback discard port, is closed in one namespace and open in the other.
        cls.ns = cls.lab.netns("peers")
        cls.ns_discard = cls.lab.netns("discard")
        cls.lab.spawn(cls.ns_discard, "python3", "-c", DISCARD_LISTENER)
        cls.lab.wait_listening(cls.ns_discard, 9)

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def needs(self, program):
        if shutil.which(program) is None:
            self.skipTest(f"{program} is not installed")

    def start(self, ns, port, *command):
        self.lab.spawn(ns, *command)
        self.lab.wait_listening(ns, port)

    def start_tinyproxy(self, ns, port, extra=""):
        self.needs("tinyproxy")
        config = os.path.join(self.lab.tempdir(), "tinyproxy.conf")
        with open(config, "w") as f:
            f.write(TINYPROXY_CONFIG.format(port=port) + extra)
        self.start(ns, port, "tinyproxy", "-d", "-c", config)

    def probe(self, *args, ns=None):
        status, out, err = self.lab.run(self.tool, ns or self.ns, args=[str(a) for a in args], timeout=120)
        self.assertEqual(status, 0, err.decode("utf-8", "replace"))
        return out

    def socks5(self, address, port, ns=None):
        return self.probe("socks5", address, port, ns=ns).strip()

    def connect(self, address, port, ns=None):
        return self.probe("connect", address, port, ns=ns).rstrip("\r\n")

    def get(self, host, port, path, timeout_ms=3000, ns=None):
        out = self.probe("get", host, port, path, timeout_ms, ns=ns).replace("\r\n", "\n")
        if out.strip() == "absent":
            return None
        head, body = out.split("body=", 1)
        fields = dict(line.split("=", 1) for line in head.splitlines())
        return int(fields["status"]), fields["title"], body

    def test_microsocks_answers_the_greeting(self):
        self.needs("microsocks")
        self.start(self.ns, 1080, "microsocks", "-i", "127.0.0.1", "-p", "1080")
        self.assertEqual(self.socks5("127.0.0.1", 1080), "true")
        # A SOCKS server reads the CONNECT request as a bad greeting and hangs up.
        self.assertEqual(self.connect("127.0.0.1", 1080), "")

    def test_microsocks_with_a_password_rejects_the_method_and_still_counts(self):
        self.needs("microsocks")
        self.start(self.ns, 1081, "microsocks", "-i", "127.0.0.1", "-p", "1081", "-u", "user", "-P", "secret")
        self.assertEqual(self.socks5("127.0.0.1", 1081), "true")

    def test_a_wildcard_listener_is_probed_on_loopback(self):
        self.needs("microsocks")
        self.start(self.ns, 1082, "microsocks", "-i", "::", "-p", "1082")
        self.assertEqual(self.socks5("::", 1082), "true")
        self.assertEqual(self.socks5("0.0.0.0", 1082), "true")

    def test_tinyproxy_with_basic_auth_demands_authentication(self):
        # It answers "HTTP/1.0 407 Proxy Authentication Required" with a Proxy-Authenticate header.
        self.start_tinyproxy(self.ns, 8889, "BasicAuth user secret\n")
        self.assertEqual(self.connect("127.0.0.1", 8889), VERDICT_407)
        self.assertEqual(self.socks5("127.0.0.1", 8889), "false")

    def test_tinyproxy_names_itself_when_the_tunnel_opens(self):
        # "HTTP/1.0 200 Connection established" followed by "Proxy-agent: tinyproxy/<version>".
        self.start_tinyproxy(self.ns_discard, 8890)
        self.assertEqual(self.connect("127.0.0.1", 8890, ns=self.ns_discard), VERDICT_PROXY_AGENT)
        self.assertEqual(self.connect("0.0.0.0", 8890, ns=self.ns_discard), VERDICT_PROXY_AGENT)

    def test_tinyproxy_that_cannot_reach_the_target_shows_nothing_proxy_like(self):
        # With the discard port closed it answers "HTTP/1.1 500 Unable to connect" with a Server header
        # and no Proxy-agent line, which the verdict rules do not count.
        self.start_tinyproxy(self.ns, 8888)
        self.assertEqual(self.connect("127.0.0.1", 8888), "")
        self.assertEqual(self.socks5("127.0.0.1", 8888), "false")
        # A direct GET gets its own error page.
        status, title, body = self.get("127.0.0.1", 8888, "/")
        self.assertEqual(status, 400)
        self.assertEqual(title, "400 Bad Request")
        self.assertIn("tinyproxy", body)

    def test_a_web_server_redirect_is_followed_and_its_title_read(self):
        root = self.lab.tempdir()
        os.mkdir(os.path.join(root, "portal"))
        with open(os.path.join(root, "portal", "index.html"), "w") as f:
            f.write(PORTAL_PAGE)
        self.start(self.ns, 8000, "python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", root, "8000")
        # /portal is answered with 301 and the location /portal/.
        status, title, body = self.get("127.0.0.1", 8000, "/portal")
        self.assertEqual(status, 200)
        self.assertEqual(title, "Campus Portal")
        self.assertEqual(body, PORTAL_PAGE)
        status, _, _ = self.get("127.0.0.1", 8000, "/missing")
        self.assertEqual(status, 404)
        self.assertEqual(self.connect("127.0.0.1", 8000), "")
        self.assertEqual(self.socks5("127.0.0.1", 8000), "false")

    def test_a_closed_port_is_no_proxy_and_no_response(self):
        self.assertEqual(self.socks5("127.0.0.1", 1090), "false")
        self.assertEqual(self.connect("127.0.0.1", 1090), "")
        self.assertIsNone(self.get("127.0.0.1", 1090, "/"))


if __name__ == "__main__":
    lab.main()
