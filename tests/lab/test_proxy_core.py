# lab: runs alone (its stand-in cores are processes every other Linux run would see)
"""A local proxy core beside a TUN: a stand-in process named like a mihomo core, started with -d/-f as
such a core is, answering its controller API only with the secret from its configuration; and a
second core of another family that must be left alone. The report's graph shows what was captured,
and the stand-ins' request logs show what was asked of them. Under Wine the cores are Wine processes
(Wine lists no others) whose command lines it cannot read, so only the default controller is found."""

import json
import os
import shutil
import sys
import unittest

import lab
import report
import scenarios as sc

API_PORT = 19090
OTHER_PORT = 19091
DEFAULT_PORT = 9090  # where a core without a configured controller is looked for
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


class ProxyCore(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("pxc")
        scenario = sc.tun(cls.lab)
        cls.work = cls.lab.tempdir()
        script = os.path.join(cls.work, "stand_in.py")
        connections = os.path.join(cls.work, "connections.json")
        with open(script, "w") as f:
            f.write(FAKE_CORE)
        with open(connections, "w") as f:
            json.dump(RULE_CONNECTIONS, f)
        cls.logs = {name: os.path.join(cls.work, name + ".log") for name in ("mihomo", "xray")}
        stand_in = [script, "--log", cls.logs["mihomo"], "--connections", connections]
        if cls.target.windows:
            cls.start_wine_cores(scenario.ns, stand_in)
        else:
            cls.start_linux_cores(scenario.ns, connections, script)
        cls.status, cls.out, cls.err, cls.page = cls.lab.run_for_report(cls.target, scenario.ns)

    @classmethod
    def start_linux_cores(cls, ns, connections, script):
        # The image name is what makes a core: a copy of the interpreter under the core's name.
        python = os.path.realpath(sys.executable)
        config_dir = os.path.join(cls.work, "core config")
        os.mkdir(config_dir)
        with open(os.path.join(config_dir, "lab.yaml"), "w") as f:
            f.write(CONFIG)
        cls.api_port = API_PORT
        for name, port in (("mihomo", API_PORT), ("xray", OTHER_PORT)):
            image = os.path.join(cls.work, name)
            shutil.copy2(python, image)
            command = [image, script, "--port", str(port), "--log", cls.logs[name], "--connections", connections]
            if name == "mihomo":
                command += ["-d", config_dir, "-f", "lab.yaml"]
            cls.lab.spawn(ns, *command)
        for port in (API_PORT, OTHER_PORT):
            cls.lab.wait_listening(ns, port)
        cls.pids = {name: read_log(path)[0]["pid"] for name, path in cls.logs.items()}

    @classmethod
    def start_wine_cores(cls, ns, stand_in):
        # Wine lists only its own processes and cannot read their command lines, so the cores are Wine
        # processes (copies of its cmd.exe under the cores' names, kept alive by a long ping) and the
        # controller is a Linux stand-in on a default port without a secret.
        prefix = cls.lab._wine_prefix(ns)
        env = dict(os.environ, **lab.wine_environment(prefix))
        cmd = os.path.join(prefix, "drive_c", "windows", "system32", "cmd.exe")
        for name in ("mihomo", "xray"):
            image = os.path.join(cls.work, name + ".exe")
            shutil.copy2(cmd, image)
            marker = os.path.join(cls.work, name + ".up")
            cls.lab.spawn(ns, lab.WINE_LOADER, image, "/c", "echo up> Z:" + marker.replace("/", "\\") + " & ping -n 900 127.0.0.1",
                          env=env)
            lab.wait_for(lambda: os.path.exists(marker), f"{name}.exe did not start")
        cls.api_port = DEFAULT_PORT
        cls.lab.spawn(ns, sys.executable, *stand_in[:1], "--port", str(DEFAULT_PORT), *stand_in[1:])
        cls.lab.wait_listening(ns, DEFAULT_PORT)
        cls.pids = {}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def requests(self, name):
        return [entry for entry in read_log(self.logs[name]) if "path" in entry]

    def core_node(self, name):
        nodes = report.graph(self.page)["nodes"]
        label = name + ".exe" if self.target.windows else name
        found = [n for n in nodes if n["kind"] == "core" and n["label"] == label and n["id"].startswith("proc-")]
        self.assertEqual(len(found), 1, [(n["id"], n["label"]) for n in nodes])
        if not self.target.windows:
            self.assertEqual(found[0]["id"], f"proc-{self.pids[name]}-l1")
        return found[0]

    def test_the_run_completes(self):
        self.assertEqual(self.status, 0, self.out)
        self.assertEqual(self.err, b"")
        self.assertIn("</html>", self.page)

    def test_the_core_was_asked_with_the_secret_from_its_configuration(self):
        asked = self.requests("mihomo")
        # Without the command line (Wine cannot read it) there is no configuration and no secret.
        auth = "" if self.target.windows else "Bearer " + SECRET
        self.assertIn({"path": "/version", "auth": auth}, asked)
        self.assertIn({"path": "/connections", "auth": auth}, asked)
        # The controller answered on the first try, so the connection list was asked for once.
        self.assertEqual(sum(1 for r in asked if r["path"] == "/connections"), 1, asked)

    def test_a_core_of_another_family_is_not_asked(self):
        if not self.target.windows:
            self.assertEqual(self.requests("xray"), [])
        node = self.core_node("xray")
        self.assertTrue(node["sub"].startswith("proxy core · entity layer "), node["sub"])
        self.assertNotIn("api", [i["id"] for i in node["items"]])

    def test_the_graph_shows_the_live_api_and_the_find_process_mode(self):
        node = self.core_node("mihomo")
        self.assertTrue(node["sub"].startswith("proxy core · entity layer "), node["sub"])
        api = report.item(node, "api")
        self.assertEqual((api["v"], api["status"]), (f"http://127.0.0.1:{self.api_port}", "OK"))
        if not self.target.windows:
            self.assertEqual(report.item(node, "findproc")["v"], "strict")

    def test_the_tun_shows_the_stack_of_its_core(self):
        if self.target.windows:
            self.skipTest("the stack is read from the configuration, which Wine gives no command line to find")
        nodes = report.node_map(report.graph(self.page))
        tuns = [n for n in nodes.values() if n["kind"] == "tun"]
        self.assertTrue(tuns, sorted(nodes))
        stacks = [report.item(n, "stack")["v"] for n in tuns]
        self.assertIn(f"mihomo (PID {self.pids['mihomo']}, stack gvisor)", stacks)


if __name__ == "__main__":
    lab.main()
