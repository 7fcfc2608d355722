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

if __name__ == "__main__":
    lab.main()
