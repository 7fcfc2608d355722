"""The browser stage: installs the pinned driver, writes the reports and opens them in headless
Chromium with node's test runner.

usage: run.py <wirelux> <wirelux_report_tool>
Reports and screenshots go to $WIRELUX_BROWSER_ARTIFACTS (default build/linux/artifacts/browser).
Node and Chromium run inside an empty network namespace of their own: only loopback exists there.
Needs root (network namespaces).
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)

import make_reports  # noqa: E402

STAMP = os.path.join(HERE, "node_modules", ".wirelux-lock")


def install_driver():
    """npm ci, unless node_modules already holds exactly what the lock file pins."""
    with open(os.path.join(HERE, "package-lock.json"), "rb") as f:
        lock = f.read()
    try:
        with open(STAMP, "rb") as f:
            if f.read() == lock:
                return
    except FileNotFoundError:
        pass
    subprocess.run(["npm", "ci", "--ignore-scripts", "--no-audit", "--no-fund"], cwd=HERE, check=True)
    with open(STAMP, "wb") as f:
        f.write(lock)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    artifacts = os.path.abspath(os.environ.get("WIRELUX_BROWSER_ARTIFACTS")
                                or os.path.join(ROOT, "build", "linux", "artifacts", "browser"))
    reports = os.path.join(artifacts, "reports")
    install_driver()
    make_reports.main([argv[0], argv[1], argv[2], reports])
    env = dict(os.environ, WIRELUX_BROWSER_REPORTS=reports, WIRELUX_BROWSER_ARTIFACTS=artifacts)
    status = subprocess.run(["unshare", "--net", "--", "sh", "-c", 'ip link set lo up && exec "$@"', "sh",
                             "node", "--test", HERE], env=env, cwd=ROOT).returncode
    sys.exit(status)


if __name__ == "__main__":
    main(sys.argv)
