"""The whole program in surroundings that work against it: a reader that has gone away, a current
directory whose name is not valid UTF-8 or holds command-interpreter characters, and programs planted
beside the exe under the names of system programs."""

import os
import shutil
import unittest
import urllib.parse

import lab


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

    # -- Windows: nothing runs that the program did not mean to start -----------------------------
    def windows_folder(self, name):
        """A folder holding a copy of the exe; the run's current directory is the same folder."""
        if not self.target.windows:
            self.skipTest("Windows only")
        folder = os.path.join(self.lab.tempdir(), name)
        os.mkdir(folder)
        exe = os.path.join(folder, "wirelux.exe")
        shutil.copy(self.target.path, exe)
        return folder, lab.Target(exe, "Windows")

    def opener_on_path(self):
        """A stand-in for the Unix opener Wine's browser bridge hands a page to, as a file URL; returns
        the environment that puts it first on PATH and the file it records its argument in. The lab's
        prefix leaves out Wine's HTML engine, and with it the page type's link to that bridge."""
        self.lab.wine(self.ns, "reg", "add", r"HKCR\.html", "/ve", "/d", "htmlfile", "/f")
        bin_dir = self.lab.tempdir()
        record = os.path.join(self.lab.tempdir(), "opened")
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s" "$1" > {record}.tmp && mv {record}.tmp {record}\n')
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        return {"WIRELUX_NO_OPEN": None, "PATH": bin_dir + ":" + os.environ["PATH"]}, record

    def test_a_folder_named_with_interpreter_characters_is_only_a_name(self):
        folder, target = self.windows_folder("dl&pwn&x,%WIRELUX_UNSET%^y")
        # A command interpreter given the path unquoted would run this as the command "pwn".
        with open(os.path.join(folder, "pwn.bat"), "w") as f:
            f.write("@echo ran> pwn.ran\r\n")
        env, record = self.opener_on_path()
        status, out, err = self.lab.run(target, self.ns, cwd=folder, env=env)
        self.assertEqual(status, 0, err[-2000:])
        files = lab.report_files(folder)
        self.assertEqual(len(files), 1, out[-2000:])
        self.assertIn("\\dl&pwn&x,%WIRELUX_UNSET%^y\\" + files[0] + "\n", out)
        mark = os.path.join(folder, "pwn.ran")
        lab.wait_for(lambda: os.path.exists(record) or os.path.exists(mark), "the report was not opened")
        self.assertFalse(os.path.exists(mark), "the planted batch file ran")
        with open(record) as f:
            opened = urllib.parse.unquote(f.read())
        self.assertTrue(opened.endswith("/dl&pwn&x,%WIRELUX_UNSET%^y/" + files[0]), opened)

    def test_programs_planted_beside_the_exe_do_not_run(self):
        folder, target = self.windows_folder("Downloads")
        for name in ("netsh.exe", "cmd.exe"):
            shutil.copy(mark_tool(self.target), os.path.join(folder, name))
        env, _ = self.opener_on_path()
        status, out, err, page = self.lab.run_for_report(target, self.ns, cwd=folder, env=env)
        self.assertEqual(status, 0, err[-2000:])
        self.assertTrue(page, out[-2000:])
        ran = [name for name in ("netsh.exe", "cmd.exe") if os.path.exists(os.path.join(folder, name + ".ran"))]
        self.assertEqual(ran, [], "planted programs ran")
        self.assertNotIn("PLANTED PROGRAM RAN", page + out)


def mark_tool(target):
    path = os.environ.get("WIRELUX_MARK_TOOL") or os.path.join(os.path.dirname(target.path), "tests", "tools",
                                                               "wirelux_mark_tool.exe")
    if not os.path.exists(path):
        raise unittest.SkipTest(f"no {path}")
    return path


if __name__ == "__main__":
    lab.main()
