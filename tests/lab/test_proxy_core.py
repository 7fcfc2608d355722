"""A local proxy core beside a TUN: a stand-in process named like a mihomo core, started with -d/-f as
such a core is, answering its controller API only with the secret from its configuration; and a
second core of another family that must be left alone. The report's graph shows what was captured,
and the stand-ins' request logs show what was asked of them."""

import json
import os
import shutil
import sys
import time
import unittest

import lab
import report
import scenarios as sc

API_PORT = 19090
OTHER_PORT = 19091
SECRET = "lab s3cret"
RULE_CONNECTIONS = {"connections": [{
    "id": "c1", "rule": "MATCH", "rulePayload": "", "chains": ["A", "B"],
    "metadata": {"network": "tcp", "host": "example.lab", "processName": "curl", "processPath": "/usr/bin/curl"},
}]}
CONFIG = f"""mixed-port: 7890
external-controller: 0.0.0.0:{API_PORT}
secret: "{SECRET}"
find-process-mode: strict
stack: system
tun:
  enable: true
  stack: gvisor
proxies:
  - name: relay
    type: socks5
    server: 198.51.100.7
    port: 1080
"""

# The stand-in core: reads the secret from the file its -d/-f options name, serves /version and
# /connections on loopback when the request carries it, and logs every request as one JSON line.
FAKE_CORE = r"""
import http.server, json, os, re, sys
args = sys.argv[1:]
opts = dict(zip(args[::2], args[1::2]))
port, log_path = int(opts["--port"]), opts["--log"]
secret = ""
if "-d" in opts:
    text = open(os.path.join(opts["-d"], opts.get("-f", "config.yaml"))).read()
    found = re.search(r'^secret:\s*"(.*)"\s*$', text, re.M)
    secret = found.group(1) if found else ""
connections = open(opts["--connections"], "rb").read()
with open(log_path, "a") as f:
    f.write(json.dumps({"pid": os.getpid()}) + "\n")
class Api(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        auth = self.headers.get("Authorization", "")
        with open(log_path, "a") as f:
            f.write(json.dumps({"path": self.path, "auth": auth}) + "\n")
        if auth != ("Bearer " + secret if secret else ""):
            return self.reply(401, b'{"message":"Unauthorized"}')
        if self.path == "/version":
            return self.reply(200, b'{"meta":true,"version":"lab"}')
        if self.path == "/connections":
            return self.reply(200, connections)
        self.reply(404, b"{}")
    def reply(self, code, body):
        self.send_response(code)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
http.server.HTTPServer(("127.0.0.1", port), Api).serve_forever()
"""


def read_log(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def wait_for(predicate, what, timeout=10):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what} after {timeout} s")
        time.sleep(0.05)


class ProxyCore(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        if cls.target.windows:
            raise unittest.SkipTest("Wine lists only its own processes, so a Linux process cannot be seen as a "
                                    "proxy core there; the capture is covered by the unit tests under Wine")
        cls.lab = lab.Lab("pxc")
        scenario = sc.tun(cls.lab)
        work = cls.lab.tempdir()
        # The image name is what makes a core: a copy of the interpreter under the core's name.
        python = os.path.realpath(sys.executable)
        script = os.path.join(work, "stand_in.py")
        connections = os.path.join(work, "connections.json")
        with open(script, "w") as f:
            f.write(FAKE_CORE)
        with open(connections, "w") as f:
            json.dump(RULE_CONNECTIONS, f)
        cls.logs = {}
        cores = {}
        for name, port in (("mihomo", API_PORT), ("xray", OTHER_PORT)):
            image = os.path.join(work, name)
            shutil.copy2(python, image)
            cls.logs[name] = os.path.join(work, name + ".log")
            cores[name] = [image, script, "--port", str(port), "--log", cls.logs[name], "--connections", connections]
        config_dir = os.path.join(work, "core config")
        os.mkdir(config_dir)
        with open(os.path.join(config_dir, "lab.yaml"), "w") as f:
            f.write(CONFIG)
        cores["mihomo"] += ["-d", config_dir, "-f", "lab.yaml"]
        for name, command in cores.items():
            cls.lab.spawn(scenario.ns, *command)
        for port in (API_PORT, OTHER_PORT):
            wait_for(lambda: cls.lab.exec(scenario.ns, "ss", "-ltnH", f"sport = :{port}").stdout.strip(),
                     f"nothing listens on {port}")
        cls.pids = {name: read_log(path)[0]["pid"] for name, path in cls.logs.items()}
        cwd = cls.lab.tempdir()
        cls.status, cls.out, cls.err = cls.lab.run(cls.target, scenario.ns, cwd=cwd)
        files = lab.report_files(cwd)
        cls.page = ""
        if files:
            with open(os.path.join(cwd, files[0]), encoding="utf-8-sig") as f:
                cls.page = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def requests(self, name):
        return [entry for entry in read_log(self.logs[name]) if "path" in entry]

    def core_node(self, name):
        nodes = report.node_map(report.graph(self.page))
        node_id = f"proc-{self.pids[name]}-l1"
        self.assertIn(node_id, nodes, sorted(nodes))
        return nodes[node_id]

    def test_the_run_completes(self):
        self.assertEqual(self.status, 0, self.out)
        self.assertEqual(self.err, b"")
        self.assertIn("</html>", self.page)

    def test_the_core_was_asked_with_the_secret_from_its_configuration(self):
        asked = self.requests("mihomo")
        self.assertIn({"path": "/version", "auth": "Bearer " + SECRET}, asked)
        self.assertIn({"path": "/connections", "auth": "Bearer " + SECRET}, asked)
        # The controller answered on the first try, so the connection list was asked for once.
        self.assertEqual(sum(1 for r in asked if r["path"] == "/connections"), 1, asked)

    def test_a_core_of_another_family_is_not_asked(self):
        self.assertEqual(self.requests("xray"), [])
        node = self.core_node("xray")
        self.assertEqual(node["sub"], "proxy core · entity layer 1")
        self.assertNotIn("api", [i["id"] for i in node["items"]])

    def test_the_graph_shows_the_live_api_and_the_find_process_mode(self):
        node = self.core_node("mihomo")
        self.assertEqual(node["kind"], "core")
        self.assertEqual(node["sub"], "proxy core · entity layer 1")
        api = report.item(node, "api")
        self.assertEqual((api["v"], api["status"]), (f"http://127.0.0.1:{API_PORT}", "OK"))
        self.assertEqual(report.item(node, "findproc")["v"], "strict")

    def test_the_tun_shows_the_stack_of_its_core(self):
        nodes = report.node_map(report.graph(self.page))
        tuns = [n for n in nodes.values() if n["kind"] == "tun"]
        self.assertTrue(tuns, sorted(nodes))
        stacks = [report.item(n, "stack")["v"] for n in tuns]
        self.assertIn(f"mihomo (PID {self.pids['mihomo']}, stack gvisor)", stacks)


if __name__ == "__main__":
    lab.main()
