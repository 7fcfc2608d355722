"""The network lab: network namespaces, veth pairs and the built program run inside them.

Every namespace a Lab creates is deleted again when the Lab closes, also when a test fails or the
process is interrupted. The program never runs outside a namespace the lab made.
"""

import atexit
import bisect
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

WINE_LOADER = "/usr/lib/wine/wine64"
WINE_SERVER = "/usr/lib/wine/wineserver"


def sh(*args, check=True, **kwargs):
    return subprocess.run(list(args), check=check, capture_output=True, text=True, **kwargs)


class Target:
    """The program under test: the Linux binary, or the Windows exe run by Wine."""

    def __init__(self, path, system=None):
        self.path = os.path.abspath(path)
        self.system = system or os.environ.get("WIRELUX_TARGET") or ("Windows" if path.endswith(".exe") else "Linux")

    @property
    def windows(self):
        return self.system == "Windows"

    @staticmethod
    def from_argv():
        if len(sys.argv) < 2:
            sys.exit("usage: test_x.py <path to wirelux or wirelux.exe> [unittest args]")
        path = sys.argv.pop(1)
        return Target(path)


class Lab:
    """A set of network namespaces torn down together."""

    _open = []

    def __init__(self, name):
        self.tag = f"wl{os.getpid() % 100000}{name}"[:12]
        self.namespaces = []
        self.processes = []
        self.tempdirs = []
        self.wine_prefixes = {}
        self.cleanups = []
        self.links = 0
        Lab._open.append(self)

    # -- namespaces -------------------------------------------------------------------------------
    def netns(self, role):
        name = f"{self.tag}-{role}{len(self.namespaces)}"
        sh("ip", "netns", "add", name)
        self.namespaces.append(name)
        self.ip(name, "link", "set", "lo", "up")
        return name

    def ip(self, ns, *args):
        return sh("ip", "-n", ns, *args)

    def exec(self, ns, *args, **kwargs):
        return sh("ip", "netns", "exec", ns, *args, **kwargs)

    def veth(self, ns_a, name_a, ns_b, name_b):
        """A veth pair with one end in each namespace, both ends up."""
        self.links += 1
        tmp_a, tmp_b = f"wla{os.getpid()}x{self.links}"[-15:], f"wlb{os.getpid()}x{self.links}"[-15:]
        sh("ip", "link", "add", tmp_a, "type", "veth", "peer", "name", tmp_b)
        sh("ip", "link", "set", tmp_a, "netns", ns_a)
        sh("ip", "link", "set", tmp_b, "netns", ns_b)
        self.ip(ns_a, "link", "set", tmp_a, "name", name_a)
        self.ip(ns_b, "link", "set", tmp_b, "name", name_b)
        self.ip(ns_a, "link", "set", name_a, "up")
        self.ip(ns_b, "link", "set", name_b, "up")

    def wait_listening(self, ns, port, udp=False, address=None, timeout=10):
        """Waits until something in the namespace listens on the port (TCP unless udp), on the address
        when one is given."""
        kind = "-lunH" if udp else "-ltnH"
        local = f"{address}:{port}" if address else f":{port}"
        wait_for(lambda: any(local in line.split()[3] for line in
                             self.exec(ns, "ss", kind, f"sport = :{port}").stdout.splitlines() if line.strip()),
                 f"nothing listens on {local} in {ns}", timeout)

    def run_for_report(self, target, ns, **kwargs):
        """Runs the program in a fresh directory. Returns (exit status, stdout, stderr, report page);
        the page is empty when no report was written."""
        cwd = kwargs.pop("cwd", None) or self.tempdir()
        status, out, err = self.run(target, ns, cwd=cwd, **kwargs)
        return status, out, err, read_report(cwd)

    def tempdir(self):
        d = tempfile.mkdtemp(prefix="wirelux-lab-")
        os.chmod(d, 0o755)
        self.tempdirs.append(d)
        return d

    def spawn(self, ns, *args, **kwargs):
        """A background process inside a namespace, ended by pid when the lab closes."""
        p = subprocess.Popen(["ip", "netns", "exec", ns, *args], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True,
                             **kwargs)
        self.processes.append(p)
        return p

    # -- the program ------------------------------------------------------------------------------
    def _wine_prefix(self, ns):
        prefix = self.wine_prefixes.get(ns)
        if prefix:
            return prefix
        prefix = self.tempdir()
        self.wine_prefixes[ns] = prefix
        env = dict(os.environ, **wine_environment(prefix))
        # A persistent server first, then the prefix and Wine's own services made by a warm-up run, all
        # detached from our pipes: a server or service started by a program run would inherit that
        # run's output pipe and keep it open after the program has ended.
        self._wineserver(ns, prefix, "-p")
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        subprocess.run(["ip", "netns", "exec", ns, WINE_LOADER, "cmd", "/c", "exit"], timeout=120, **quiet)
        return prefix

    def wine(self, ns, *args):
        """Runs a Wine program (reg, say) in the prefix the namespace's runs use."""
        env = dict(os.environ, **wine_environment(self._wine_prefix(ns)))
        return subprocess.run(["ip", "netns", "exec", ns, WINE_LOADER, *args], timeout=120, env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, check=True)

    def _wineserver(self, ns, prefix, *args):
        env = dict(os.environ, **wine_environment(prefix))
        subprocess.run(["ip", "netns", "exec", ns, WINE_SERVER, *args], timeout=60, env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, target, ns, args=(), env=None, cwd=None, readonly_cwd=False, timeout=180, stderr_file=None,
            closed_stdout=False):
        """Runs the program inside the namespace. Returns (exit status, stdout text, stderr bytes).
        With closed_stdout, standard output is a pipe whose reader has gone (as in "wirelux | true").

        Standard error goes to a file (never a terminal), so the meter is off unless forced. Unless the
        caller sets the timing or meter variables itself, the run prints its timing marks, which are
        taken out of the standard error handed back: when a run does not finish, they tell which phase
        it was in. A run that does not finish in time fails with the timing marks so far and the stacks
        of the program's threads. Under Wine, whose own server and services have been seen to stall
        now and then, such a run is written to the hang log and tried once more with a fresh prefix.
        """
        cwd = cwd or self.tempdir()
        before = set(os.listdir(cwd))
        try:
            return self._run_once(target, ns, args, env, cwd, readonly_cwd, timeout, stderr_file, closed_stdout)
        except RunHung as hung:
            log_hang(target, hung)
            if not target.windows:
                raise AssertionError(str(hung)) from None
            for leftover in set(os.listdir(cwd)) - before:
                path = os.path.join(cwd, leftover)
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
            self._wineserver(ns, self.wine_prefixes.pop(ns), "-k")
            try:
                return self._run_once(target, ns, args, env, cwd, readonly_cwd, timeout, stderr_file,
                                      closed_stdout)
            except RunHung as again:
                log_hang(target, again)
                raise AssertionError(f"{again}\n(the first try hung as well)") from None

    def _run_once(self, target, ns, args, env, cwd, readonly_cwd, timeout, stderr_file, closed_stdout=False):
        run_env = {k: v for k, v in os.environ.items() if not k.startswith("WIRELUX_")}
        run_env.update({"WIRELUX_NO_OPEN": "1", "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"})
        traced = not any(k in (env or {}) for k in ("WIRELUX_TIMING", "WIRELUX_FORCE_PROGRESS"))
        if traced:
            run_env["WIRELUX_TIMING"] = "1"
        run_env.update(env or {})
        run_env = {k: v for k, v in run_env.items() if v is not None}
        command = [target.path, *args]
        prefix = None
        if target.windows:
            prefix = self._wine_prefix(ns)
            run_env.update(wine_environment(prefix))
            command = [WINE_LOADER, *command]
        wrapper = 'cd "$0" && exec "$@"'
        if readonly_cwd:
            # Root writes anywhere, so a read-only directory is made with a read-only bind mount in a
            # mount namespace of the program's own. Wine's server opens files for its clients, so
            # under Wine a server is started inside that mount namespace for this one run.
            wrapper = 'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && cd "$0" && exec "$@"'
            if prefix:
                self._wineserver(ns, prefix, "-k")
                wrapper = wrapper.replace('cd "$0" &&', f'cd "$0" && {WINE_SERVER} -p >/dev/null 2>&1 </dev/null;')
        err_path = stderr_file or os.path.join(self.tempdir(), "stderr")
        stdout = subprocess.PIPE
        if closed_stdout:
            reader, stdout = os.pipe()
            os.close(reader)
        with open(err_path, "wb") as err:
            p = subprocess.Popen(["ip", "netns", "exec", ns, "unshare", "-m", "sh", "-c", wrapper, cwd, *command],
                                 stdin=subprocess.DEVNULL, stdout=stdout, stderr=err, env=run_env,
                                 start_new_session=True)
            if closed_stdout:
                os.close(stdout)
            try:
                out, _ = p.communicate(timeout=timeout)
            except subprocess.TimeoutExpired:
                stacks = thread_stacks(p.pid, ns, prefix, target.path)
                os.killpg(p.pid, signal.SIGKILL)
                p.communicate()
                with open(err_path, "rb") as so_far:
                    marks = so_far.read().decode("utf-8", "replace")
                raise RunHung(f"{os.path.basename(target.path)} {' '.join(args)} did not finish within {timeout} s "
                              f"in {ns}\nstandard error so far:\n{marks[-4000:]}\n{stacks}") from None
        if readonly_cwd and prefix:
            self._wineserver(ns, prefix, "-k")
            self._wineserver(ns, prefix, "-p")
        with open(err_path, "rb") as err:
            err_bytes = err.read()
        if traced:
            err_bytes = TIMING_LINE.sub(b"", err_bytes)
        return p.returncode, (out or b"").decode("utf-8", "replace"), err_bytes

    # -- teardown ---------------------------------------------------------------------------------
    def close(self):
        for p in self.processes:
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for p in self.processes:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
        self.processes = []
        for ns, prefix in self.wine_prefixes.items():
            self._wineserver(ns, prefix, "-k")
        self.wine_prefixes = {}
        for ns in reversed(self.namespaces):
            sh("ip", "netns", "del", ns, check=False)
        self.namespaces = []
        for cleanup in reversed(self.cleanups):
            cleanup()
        self.cleanups = []
        for d in self.tempdirs:
            shutil.rmtree(d, ignore_errors=True)
        self.tempdirs = []
        if self in Lab._open:
            Lab._open.remove(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class RunHung(Exception):
    """A program run that did not finish within its time-out; the text says where it was."""


def log_hang(target, hung):
    """Keeps the report of a hung run beside the build (scripts/test prints the log at its end) and on
    the test's standard error."""
    text = f"== {time.strftime('%Y-%m-%d %H:%M:%S')} {sys.argv[0]}\n{hung}\n"
    sys.stderr.write(text)
    directory = os.path.join(os.path.dirname(target.path), "artifacts")
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "lab-hangs.log"), "a", encoding="utf-8") as log:
        log.write(text)


TIMING_LINE = re.compile(rb"^  \[timing\] [^\n]*\n", re.M)


def thread_stacks(pid, ns, wine_prefix, program):
    """What each thread of a hung run is doing: Wine's debugger for the exe (its Windows stacks), gdb
    for a native program, else the kernel's wait channel of each thread. Never raises."""
    try:
        if wine_prefix:
            env = dict(os.environ, **wine_environment(wine_prefix))
            p = subprocess.run(["ip", "netns", "exec", ns, WINE_LOADER, "winedbg"], input="bt all\nquit\n",
                               capture_output=True, text=True, timeout=90, env=env)
            # Only the program's own threads; the debugger walks every process of the prefix.
            name = os.path.basename(program).lower()
            sections = re.split(r"\n(?=Backtracing for thread)", p.stdout)
            mine = [sec for sec in sections if name in sec.lower()]
            return "thread stacks (winedbg):\n" + symbolize("\n".join(mine) or p.stdout[-8000:], program)[-20000:]
        gdb = shutil.which("gdb")
        if gdb:
            p = subprocess.run([gdb, "-p", str(pid), "-batch", "-ex", "thread apply all bt"],
                               capture_output=True, text=True, timeout=90)
            return "thread stacks (gdb):\n" + p.stdout[-20000:]
        rows = []
        for tid in sorted(os.listdir(f"/proc/{pid}/task"), key=int):
            with open(f"/proc/{pid}/task/{tid}/wchan") as w, open(f"/proc/{pid}/task/{tid}/comm") as c:
                rows.append(f"  {tid} {c.read().strip()} {w.read().strip()}")
        return "threads (wait channel):\n" + "\n".join(rows)
    except (OSError, subprocess.SubprocessError) as e:
        return f"(no thread stacks: {e})"


def symbolize(stacks, program):
    """Names the exe's own frames, which Wine's debugger shows as bare addresses, from its symbol table."""
    nm = shutil.which("x86_64-w64-mingw32-nm")
    if not nm:
        return stacks
    listing = subprocess.run([nm, "-C", "--defined-only", program], capture_output=True, text=True, timeout=60)
    symbols = []
    for line in listing.stdout.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] in "tT":
            symbols.append((int(parts[0], 16), parts[2]))
    symbols.sort()
    addresses = [a for a, _ in symbols]

    def name(m):
        i = bisect.bisect_right(addresses, int(m.group(1), 16)) - 1
        return m.group(0) if i < 0 else f"{m.group(0)} {symbols[i][1]}"

    return re.sub(r"0x([0-9a-f]+) in wirelux \(\+0x[0-9a-f]+\)", name, stacks)


def wine_environment(prefix):
    return {"WINEPREFIX": prefix, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "HOME": prefix}


def _close_all(*_):
    for lab in list(Lab._open):
        lab.close()


def _on_signal(signum, _frame):
    _close_all()
    sys.exit(128 + signum)


atexit.register(_close_all)
signal.signal(signal.SIGTERM, _on_signal)
signal.signal(signal.SIGINT, _on_signal)
signal.signal(signal.SIGHUP, _on_signal)


def report_files(directory):
    return sorted(f for f in os.listdir(directory) if re.fullmatch(r"wirelux-report-\d{8}-\d{6}\.html", f))


def read_report(directory):
    """The first report written into the directory, as text; empty when there is none."""
    files = report_files(directory)
    if not files:
        return ""
    with open(os.path.join(directory, files[0]), encoding="utf-8-sig") as f:
        return f.read()


def wait_for(predicate, what, timeout=10):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what} after {timeout} s")
        time.sleep(0.05)


def main():
    """Entry point for a lab test module: the target path comes first on the command line."""
    global TARGET
    TARGET = Target.from_argv()
    unittest.main(verbosity=2)


TARGET = None
