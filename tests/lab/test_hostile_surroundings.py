"""The whole program in surroundings that work against it: a reader that has gone away, a current
directory whose name is not valid UTF-8 or holds command-interpreter characters, and programs planted
beside the exe under the names of system programs."""

import os
import re
import unittest

import lab

REPORT_NAME = r"wirelux-report-\d{8}-\d{6}\.html"


class HostileSurroundings(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.target = lab.TARGET
        cls.lab = lab.Lab("hst")
        cls.ns = cls.lab.netns("offline")

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def test_closed_standard_output_still_writes_the_report(self):
        cwd = self.lab.tempdir()
        status, _, err = self.lab.run(self.target, self.ns, cwd=cwd, closed_stdout=True)
        self.assertEqual(status, 0, err[-2000:])
        self.assertEqual(len(lab.report_files(cwd)), 1, os.listdir(cwd))

    def test_a_directory_name_that_is_not_utf8_still_takes_the_report(self):
        if self.target.windows:
            self.skipTest("Windows names are UTF-16; Wine cannot make a folder with a lone surrogate")
        cwd = os.path.join(self.lab.tempdir(), os.fsdecode(b"run-\xff\xfe\x1b[2J-dir"))
        os.mkdir(cwd)
        bin_dir = self.lab.tempdir()
        record = os.path.join(self.lab.tempdir(), "opened")
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s" "$1" > {record}.tmp && mv {record}.tmp {record}\n')
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        env = {"WIRELUX_NO_OPEN": None, "PATH": bin_dir + ":" + os.environ["PATH"]}
        status, out, err = self.lab.run(self.target, self.ns, cwd=cwd, env=env)
        self.assertEqual(status, 0, err[-2000:])
        files = lab.report_files(cwd)
        self.assertEqual(len(files), 1, out[-2000:])
        # Printed as text, control characters shown as stand-ins; opened by the directory's own bytes.
        shown = os.fsencode(cwd).decode("utf-8", "replace").replace("\x1b", "\ufffd")
        self.assertIn(f"\n  HTML report -> {shown}/{files[0]}\n", out)
        lab.wait_for(lambda: os.path.exists(record), "the report was not opened")
        with open(record, "rb") as f:
            self.assertEqual(f.read(), os.fsencode(os.path.join(cwd, files[0])))


if __name__ == "__main__":
    lab.main()
