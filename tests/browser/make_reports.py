"""Writes the reports the browser tests open:

  home.html     the Linux program run in the lab's home network, with a real SOCKS5 listener on
                loopback whose executable file name is markup (so the page has a proxy process with
                expandable listener details, and a hostile name that came from the operating system);
  tun.html      the Linux program run in the lab's TUN scenario;
  hostile.html  a hand-built host whose every text holds markup, written by wirelux_report_tool.

usage: make_reports.py <wirelux> <wirelux_report_tool> <output dir> [scenario ...]
Scenarios default to home, tun and hostile. Needs root: the lab creates network namespaces.
"""

import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "lab"))

import lab  # noqa: E402
import scenarios as sc  # noqa: E402

# A file name cannot hold "/", so the name opens a comment and an image element but closes no tag.
HOSTILE_EXE = "<!--<img src=x onerror=window.__pwned=1>"
SOCKS_PORT = 1080
SOCKS_SERVER = "/usr/bin/microsocks"


def wait_listening(lab_, ns, port):
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if lab_.exec(ns, "ss", "-ltnH", f"sport = :{port}").stdout.strip():
            return
        time.sleep(0.05)
    raise RuntimeError(f"nothing listens on port {port} in {ns}")


def run_program(lab_, target, scenario, out_path):
    cwd = lab_.tempdir()
    status, out, err = lab_.run(target, scenario.ns, cwd=cwd)
    files = lab.report_files(cwd)
    if status != 0 or len(files) != 1:
        raise RuntimeError(f"the program exited {status} with reports {files}:\n{out}\n{err.decode(errors='replace')}")
    shutil.copyfile(os.path.join(cwd, files[0]), out_path)


def home_report(target, out_path):
    with lab.Lab("brh") as lab_:
        scenario = sc.home(lab_)
        exe = os.path.join(lab_.tempdir(), HOSTILE_EXE)
        shutil.copyfile(SOCKS_SERVER, exe)
        os.chmod(exe, 0o755)
        lab_.spawn(scenario.ns, exe, "-i", "127.0.0.1", "-p", str(SOCKS_PORT))
        wait_listening(lab_, scenario.ns, SOCKS_PORT)
        run_program(lab_, target, scenario, out_path)


def tun_report(target, out_path):
    with lab.Lab("brt") as lab_:
        run_program(lab_, target, sc.tun(lab_), out_path)


def hostile_report(tool, out_path):
    # The tool sends nothing, but it links the probes; an empty namespace makes sure of it.
    subprocess.run(["unshare", "--net", "--", tool, "hostile", out_path], check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    target = lab.Target(argv[1], "Linux")
    tool = os.path.abspath(argv[2])
    out_dir = os.path.abspath(argv[3])
    wanted = argv[4:] or ["home", "tun", "hostile"]
    os.makedirs(out_dir, exist_ok=True)
    makers = {
        "home": lambda path: home_report(target, path),
        "tun": lambda path: tun_report(target, path),
        "hostile": lambda path: hostile_report(tool, path),
    }
    for name in wanted:
        started = time.monotonic()
        path = os.path.join(out_dir, f"{name}.html")
        makers[name](path)
        print(f"{name}: {path} ({os.path.getsize(path)} bytes, {time.monotonic() - started:.1f} s)")


if __name__ == "__main__":
    main(sys.argv)
