# lab: runs alone (its stand-in cores are processes every other Linux run would see)
"""A local proxy core beside a TUN: a stand-in process named like a mihomo core, started with -d/-f as
such a core is, answering its controller API only with the secret from its configuration; a GUI named
like a core that finds the same controller (its relative -f read where it was started); an
application whose connection the core reports by its real path; and a second core of another family
that must be left alone. The report's graph shows what was captured, and the stand-ins' request logs
show what was asked of them. Under Wine the cores are Wine processes (Wine lists no others) whose
command lines it cannot read, so only the default controller is found, by the core and the GUI alike."""

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

# An application the core reports a connection of: it only waits.
IDLE = "import time\ntime.sleep(900)\n"

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
        idle = os.path.join(cls.work, "idle.py")
        with open(idle, "w") as f:
            f.write(IDLE)
        cls.logs = {name: os.path.join(cls.work, name + ".log") for name in ("mihomo", "xray")}
        stand_in = [script, "--log", cls.logs["mihomo"], "--connections", connections]
        if cls.target.windows:
            cls.start_wine_cores(scenario.ns, stand_in, connections)
        else:
            cls.start_linux_cores(scenario.ns, connections, script, idle)
        cls.status, cls.out, cls.err, cls.page = cls.lab.run_for_report(cls.target, scenario.ns)

    @classmethod
    def write_connections(cls, connections, app_name, app_path):
        """The core's reply: the rule connection, and one that names the application by its path."""
        reply = json.loads(json.dumps(RULE_CONNECTIONS))
        reply["connections"].append({"id": "c2", "rule": "MATCH", "rulePayload": "", "chains": ["DIRECT"],
                                     "metadata": {"network": "tcp", "processName": app_name,
                                                  "processPath": app_path}})
        with open(connections, "w") as f:
            json.dump(reply, f)

    @classmethod
    def start_linux_cores(cls, ns, connections, script, idle):
        # The image name is what makes a core: a copy of the interpreter under the core's name.
        python = os.path.realpath(sys.executable)
        config_dir = os.path.join(cls.work, "core config")
        os.mkdir(config_dir)
        with open(os.path.join(config_dir, "lab.yaml"), "w") as f:
            f.write(CONFIG)
        app = os.path.realpath(os.path.join(cls.work, "lab-app"))
        shutil.copy2(python, app)
        cls.app_pid = cls.lab.spawn(ns, app, idle).pid
        cls.write_connections(connections, "lab-app", app)
        # A GUI named like a core, started in the configuration's folder with a relative -f.
        gui = os.path.join(cls.work, "clash-verge")
        shutil.copy2(python, gui)
        cls.gui_pid = cls.lab.spawn(ns, gui, idle, "-f", "lab.yaml", cwd=config_dir).pid
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
    def start_wine_cores(cls, ns, stand_in, connections):
        # Wine lists only its own processes and cannot read their command lines, so the cores are Wine
        # processes (copies of its cmd.exe under the cores' names, kept alive by a long ping) and the
        # controller is a Linux stand-in on a default port without a secret.
        prefix = cls.lab._wine_prefix(ns)
        env = dict(os.environ, **lab.wine_environment(prefix))
        cmd = os.path.join(prefix, "drive_c", "windows", "system32", "cmd.exe")
        for name in ("mihomo", "xray", "clash-verge", "lab-app"):
            image = os.path.join(cls.work, name + ".exe")
            shutil.copy2(cmd, image)
            marker = os.path.join(cls.work, name + ".up")
            cls.lab.spawn(ns, lab.WINE_LOADER, image, "/c", "echo up> Z:" + marker.replace("/", "\\") + " & ping -n 900 127.0.0.1",
                          env=env)
            lab.wait_for(lambda: os.path.exists(marker), f"{name}.exe did not start")
        cls.write_connections(connections, "lab-app.exe",
                              "Z:" + os.path.realpath(os.path.join(cls.work, "lab-app.exe")).replace("/", "\\"))
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

    def test_a_gui_sharing_the_controller_leaves_the_capture_to_the_core(self):
        # Asked once (test above), and the connections are the core's: the GUI forwards nothing.
        if not self.target.windows:
            # The GUI found the configuration by its working directory, so it asked with the secret too.
            versions = [r for r in self.requests("mihomo") if r == {"path": "/version", "auth": "Bearer " + SECRET}]
            self.assertGreaterEqual(len(versions), 2, self.requests("mihomo"))
        nodes = report.node_map(report.graph(self.page))
        gui = [n for n in nodes.values() if n["id"].startswith("proc-") and n["label"].startswith("clash-verge")]
        for node in gui:
            self.assertNotIn("api", [i["id"] for i in node["items"]], node["id"])
            self.assertFalse([i for i in node["items"] if i["id"].startswith("capture-")], node["id"])

    def test_a_connection_naming_its_real_path_is_tied_to_the_process_by_it(self):
        if self.target.windows:
            self.skipTest("without the core's configuration no TUN is known to be the core's, so nothing is captured")
        doc = report.graph(self.page)
        row_id = f"capture-{self.app_pid}"
        captures = [(e["from"], e["confidence"], e["evidence"]) for e in doc["edges"] if e["fromItem"] == row_id]
        self.assertTrue(captures, sorted(report.node_map(doc)))
        for source, confidence, evidence in captures:
            self.assertEqual((confidence, evidence), (0.99, "runtime API exact process path"), source)

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
