"""Sharing a run from the lab's KAM campus: with --redact the console, the report and the JSON facts carry
none of the values that identify the machine and its user, and still read as a diagnosis; with --json
the facts and the report's graph are written beside the report under its stamp."""

import json
import os
import re
import socket
import unittest

import lab
import report
import scenarios as sc
from summary import lines

# The name the Linux build takes from the environment; Wine sets its own from the host name.
COMPUTER_NAME = "LAB-PC-7Q2K"
# The lines of the page that carry the run's values; every other line of its skeleton is fixed text.
VALUE_LINES = {5, 13, 14, 24, 26}  # title, identity, chips, chain and sections, graph document


def word(text):
    """A pattern for the text as a whole word (letters, digits, "-", "_", "." and ":" join words)."""
    return re.compile(r"(?<![\w.:-])" + re.escape(text) + r"(?![\w:-]|\.\w)", re.I)


class Sharing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("shr")
        cls.scenario = sc.campus(cls.lab)
        ns = cls.scenario.ns
        env = {"COMPUTERNAME": COMPUTER_NAME}
        cls.runs = {}
        for name, args in (("plain", ["--json"]), ("redacted", ["--redact", "--json", "--no-progress"])):
            cwd = cls.lab.tempdir()
            status, out, err, page = cls.lab.run_for_report(cls.target, ns, args=args, env=env, cwd=cwd)
            cls.runs[name] = (status, out, err, page, cwd)
        link = cls.lab.ip(ns, "link", "show", sc.CARRIER).stdout
        cls.mac = re.search(r"link/ether ([0-9a-f:]{17})", link).group(1)

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def run_of(self, name):
        status, out, err, page, cwd = self.runs[name]
        self.assertEqual(status, 0, out + err.decode("utf-8", "replace"))
        self.assertTrue(page, f"the {name} run wrote no report")
        return out, page, cwd

    def facts_file(self, name):
        """The JSON file's name and its parsed document, after checking the console names it."""
        out, _, cwd = self.run_of(name)
        files = sorted(f for f in os.listdir(cwd) if f.endswith(".json"))
        self.assertEqual(len(files), 1, os.listdir(cwd))
        console = out.rstrip("\n").split("\n")
        self.assertTrue(console[-1].startswith("  JSON facts -> "), console[-3:])
        self.assertTrue(console[-1].endswith(files[0]), console[-1])
        self.assertRegex(console[-2], r"^  HTML report (\(redacted\) )?-> ")
        with open(os.path.join(cwd, files[0]), "rb") as f:
            raw = f.read()
        self.assertFalse(raw.startswith(b"\xef\xbb\xbf"), "JSON carries no byte-order mark")
        return files[0], json.loads(raw.decode("utf-8"))

    def identifying(self):
        """Each identifying value of the lab with the pattern that finds it as the outputs write it."""
        computer = socket.gethostname().split(".")[0].upper()[:15] if self.target.windows else COMPUTER_NAME
        mac = re.compile(r"(?<![0-9a-f])" + "[-:]".join(self.mac.split(":")) + r"(?![0-9a-f])", re.I)
        return {"computer name": word(computer), "MAC": mac, "login user": word(sc.CAMPUS_USER),
                "online address": re.compile(r"(?<![\d.])" + re.escape(sc.CAMPUS_ONLINE_IP) + r"(?!\d)"),
                "global IPv6 address": word(sc.LAN_V6)}

    def test_a_plain_run_shows_the_identifying_values(self):
        out, page, _ = self.run_of("plain")
        for what, pattern in self.identifying().items():
            self.assertRegex(out + page, pattern, what)

    def test_a_redacted_run_shows_none_of_them_in_any_output(self):
        out, page, _ = self.run_of("redacted")
        _, facts = self.facts_file("redacted")
        shown = {"console": out, "report": page, "JSON facts": json.dumps(facts, ensure_ascii=False)}
        for what, pattern in self.identifying().items():
            for where, text in shown.items():
                self.assertIsNone(pattern.search(text), f"{what} in the {where}")
        self.assertEqual(facts["facts"]["computerName"], "host-1")
        self.assertIn("  HTML report (redacted) -> ", out)
        self.assertIn(f" &middot; {'redacted: identifying values are stand-ins'}</div>\n", page)

    def test_a_redacted_run_still_reads_as_a_diagnosis(self):
        out, page, _ = self.run_of("redacted")
        self.assertEqual(lines(out, "11")[8:12], [
            "  Portal 10.0.0.55 HTTP : OK",
            f"      title = {sc.CAMPUS_PORTAL_TITLE}",
            "  Login 10.0.0.55 rad_user_info : OK",
            f"      id = user-1   ip = 192.0.2.1   sum_bytes = {sc.CAMPUS_SUM_BYTES}"
            f"   sum_seconds = {sc.CAMPUS_SUM_SECONDS}"])
        gateway = [b for b in report.chain(page) if b.title == "LAN Gateway"]
        self.assertEqual(gateway[0].values(), [("address", sc.GATEWAY_V4), ("ping", "reachable")])
        strings = set(report.json_strings(report.graph(page)))
        self.assertIn(sc.CAMPUS_PORTAL_TITLE, strings)
        self.assertIn("user-1", strings)
        self.assertTrue(any(sc.GATEWAY_V4 in s for s in strings))

    def test_a_redacted_page_keeps_its_shape_and_a_verifying_chain(self):
        _, plain, _ = self.run_of("plain")
        _, page, _ = self.run_of("redacted")
        redacted_lines, plain_lines = report.skeleton(page), report.skeleton(plain)
        self.assertEqual(len(redacted_lines), 37)
        for i, (a, b) in enumerate(zip(redacted_lines, plain_lines)):
            if i not in VALUE_LINES:
                self.assertEqual(a, b, f"line {i + 1}")
        prev = report.ZERO_HASH
        for height, block in enumerate(report.chain(page)):
            self.assertEqual(block.prev, prev, block)
            self.assertEqual(block.hash, report.block_hash(height, block, prev), block)
            prev = block.hash

    def test_the_json_facts_share_the_reports_stamp_and_graph(self):
        for name in self.runs:
            _, page, cwd = self.run_of(name)
            file_name, doc = self.facts_file(name)
            self.assertEqual(list(doc), ["schema", "facts", "graph"], name)
            self.assertEqual(doc["schema"], "wirelux/1")
            self.assertEqual(lab.report_files(cwd)[0][:-len(".html")], file_name[:-len(".json")], name)
            self.assertEqual(doc["graph"], report.graph(page), name)
            self.assertEqual(doc["facts"]["campus"]["portalTitle"], sc.CAMPUS_PORTAL_TITLE, name)
            carrier = [a for a in doc["facts"]["adapters"] if a["friendlyName"] == sc.CARRIER]
            self.assertEqual(len(carrier), 1, name)
            self.assertIn(sc.GATEWAY_V4, carrier[0]["gateways"], name)

    def test_an_unwritable_directory_fails_both_files_and_still_exits_zero(self):
        status, out, _ = self.lab.run(self.target, self.scenario.ns, args=["--json"], readonly_cwd=True)
        self.assertEqual(status, 0, out)
        tail = out.rstrip("\n").split("\n")[-3:]
        self.assertEqual(tail[0], "")
        self.assertRegex(tail[1], r"^  failed to write report: .")
        self.assertRegex(tail[2], r"^  failed to write JSON: .")


if __name__ == "__main__":
    lab.main()
