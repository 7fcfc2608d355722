#!/usr/bin/env python3
"""How long a whole run takes beside its critical path, in the lab's scenarios (run as root).

    tests/bench/run_time.py [--runs N] PROGRAM [PROGRAM ...]

Each PROGRAM (build/linux/wirelux, build/windows/wirelux.exe under Wine) runs N times in each of the
lab's offline, home, tun and campus networks. For each the table shows the median wall time, the
chain of waits the scenario forces, the critical path and the ratio of wall time to critical path.

The chain of waits comes from the program's time-out constants (read from its sources) and from
what answers in the scenario:

  * collection spaces its socket-table reads, and waits for the internet echoes (one echo time-out
    when they go unanswered) before the probes that need nothing collected may start;
  * from then on the campus phase (the longest of its tasks' time-outs among those that go
    unanswered), the echoes and the DNS queries of the caches all overlap.

The critical path adds the program's own work, taken from its timing marks offline, where nothing
is waited for: the work up to the start of those probes, then the longer of the overlapped waits and
the work done meanwhile, then the work after them. The last column divides the wall time by the
chain of waits alone.

A benchmark, not a test: it asserts nothing and is never run by the suites.
"""

import argparse
import os
import re
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "lab"))

import lab  # noqa: E402
import scenarios  # noqa: E402


def constant(path, name):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        text = f.read()
    m = re.search(rf"\b{name}\b(?:\s*=\s*|\{{)(\d+)", text)
    if not m:
        sys.exit(f"{name} not found in {path}")
    return int(m.group(1))


def time_outs():
    probes = "src/probe/campus_probes.h"
    return {
        "echo": constant("src/platform/icmp.h", "kEchoTimeoutMs"),
        "portal": constant(probes, "kCampusPortalTimeoutMs"),
        "login": constant(probes, "kCampusLoginTimeoutMs"),
        "dns": constant(probes, "kCampusDnsTimeoutMs"),
        "api": constant(probes, "kCampusApiTimeoutMs"),
        "api_connect": constant(probes, "kCampusApiConnectTimeoutMs"),
        "dns_cache": constant("src/run/run_driver.cpp", "kDnsCacheTimeoutMs"),
        "tcp_reads": constant("src/facts/socket_snapshots.h", "kTcpReads"),
        "tcp_spacing": constant("src/facts/socket_snapshots.h", "kTcpReadSpacing"),
    }


# What answers in each scenario. "silent": packets are routed but nothing ever answers (the wait runs
# to its time-out); "refused"/"unrouted": the failure comes back at once; "answers": it answers.
ANSWERS = {
    "offline": dict(internet="unrouted", portal="unrouted", login="unrouted", resolver="unrouted",
                    backup_resolver="unrouted", api_http="unrouted", api_connect="unrouted",
                    campus_echo="unrouted"),
    "home": dict(internet="answers", portal="silent", login="silent", resolver="silent",
                 backup_resolver="silent", api_http="silent", api_connect="silent", campus_echo="silent"),
    "tun": dict(internet="silent", portal="silent", login="silent", resolver="silent", backup_resolver="silent",
                api_http="silent", api_connect="silent", campus_echo="silent"),
    # The API port takes connections and closes them at once; the backup address answers echoes, but
    # its DNS queries go unanswered (UDP gives no refusal the probe waits for).
    "campus": dict(internet="answers", portal="answers", login="answers", resolver="answers",
                   backup_resolver="silent", api_http="refused", api_connect="answers", campus_echo="answers"),
}


def waits_ms(scenario, t):
    a = ANSWERS[scenario]

    def wait(kind, ms):
        return ms if a[kind] == "silent" else 0

    before = wait("internet", t["echo"])
    dns = max(wait("resolver", t["dns"]), wait("backup_resolver", t["dns"]))
    campus = max(wait("portal", t["portal"]), wait("login", t["login"]), dns,
                 wait("api_http", t["api"]) + wait("api_connect", t["api_connect"]))
    dns_cache = max(wait("resolver", t["dns_cache"]), wait("backup_resolver", t["dns_cache"]))
    overlapped = max(campus, wait("campus_echo", t["echo"]), dns_cache)
    return before, overlapped


TIMING = re.compile(r"  \[timing\] (.{26}) +(\d+) ms   \(total +(\d+) ms\)")
EARLY_START = "core-infos"  # the probes that overlap the rest start at the end of this phase
JOIN = "kam-facts"  # the first phase that waits for them


def run_times(target, scenario, runs):
    """[(wall seconds, {timing mark: total seconds})] of each run."""
    with lab.Lab(f"rt{scenario[:3]}") as the_lab:
        s = getattr(scenarios, scenario)(the_lab)
        if target.windows:
            the_lab._wine_prefix(s.ns)  # the prefix and Wine's services, made once before timing
        results = []
        for _ in range(runs):
            start = time.monotonic()
            status, out, err = the_lab.run(target, s.ns, env={"WIRELUX_NO_PROGRESS": "1", "WIRELUX_TIMING": "1"})
            wall = time.monotonic() - start
            if status != 0:
                sys.exit(f"{target.path} exited with {status} in {scenario}:\n{err[-2000:]!r}")
            marks = {m.group(1).rstrip(): int(m.group(3)) / 1000
                     for m in TIMING.finditer(err.decode("utf-8", "replace"))}
            results.append((wall, marks))
        results.sort(key=lambda r: r[0])
        return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("programs", nargs="+")
    options = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("run as root: the lab builds network namespaces")
    t = time_outs()
    spacing = (t["tcp_reads"] - 1) * t["tcp_spacing"] / 1000
    print(f"{'program':<14} {'scenario':<8} {'wall s':>7} {'waits s':>8} {'critical s':>10} {'ratio':>6}"
          f" {'/ waits':>8}   (median of {options.runs})")
    for path in options.programs:
        target = lab.Target(path)
        work = None
        for scenario in ("offline", "home", "tun", "campus"):
            runs = run_times(target, scenario, options.runs)
            wall, marks = runs[len(runs) // 2]
            if work is None:
                # Offline: the work before the overlapped probes start (with the process start and the
                # spaced socket reads), the work while they run, and the work after them.
                last = max(marks.values())
                before = wall - last + marks[EARLY_START]
                meanwhile = marks[JOIN] - marks[EARLY_START]
                work = (before, meanwhile, last - marks[JOIN])
            waits_before, overlapped = waits_ms(scenario, t)
            chain = spacing + (waits_before + overlapped) / 1000
            critical = work[0] + waits_before / 1000 + max(overlapped / 1000, work[1]) + work[2]
            print(f"{os.path.basename(path):<14} {scenario:<8} {wall:7.2f} {chain:8.2f} {critical:10.2f} "
                  f"{wall / critical:6.2f} {wall / chain:8.2f}", flush=True)


if __name__ == "__main__":
    main()
