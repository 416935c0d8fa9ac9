#!/usr/bin/env python3
"""Checks the wine harness (scripts/wineharness.py) against two small Windows programs.

    test_harness.py --root BUILD/wine --probe probe_window.exe --console exit_code.exe [unittest args]

probe_window.exe shows a borderless RGB(200, 40, 40) window at (100, 80), 320x240; Escape exits
with 10 + left clicks, a double-click with 77. exit_code.exe echoes its arguments and exits with
the first. Every end-to-end test of the player relies on what is checked here: that input reaches
the program, that screenshots show what it drew, that time limits hold and that nothing survives
a run (a leaked wineserver or Xvfb slows every later test and can hold CTest's pipe).
"""
import argparse
import contextlib
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

ARGS = None
wineharness = None

PROBE_TITLE = "Lumafolio Harness Probe"
PROBE_RECT = (100, 80, 320, 240)
PROBE_COLOUR = (200, 40, 40)


def alive(pid):
    """Whether PID still runs; zombies (reparented to an init that does not reap) count as gone."""
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return False
    return state != "Z"


def now_in_ticks():
    """The time since boot in the clock ticks that /proc/PID/stat gives start times in."""
    return float(Path("/proc/uptime").read_text().split()[0]) * os.sysconf("SC_CLK_TCK")


def start_ticks(pid):
    return int(Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[19])


def processes_of(prefix, started_by=None):
    """Live processes started for PREFIX: wine passes WINEPREFIX down to every process it starts.
    With STARTED_BY (see now_in_ticks), only those started by then: once a session has ended,
    another test running beside this one may take its slot, and its processes are not ours."""
    marker = f"WINEPREFIX={prefix}\0".encode()
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit() and int(entry.name) != os.getpid():
            try:
                pid = int(entry.name)
                if (marker in (entry / "environ").read_bytes() and alive(pid)
                        and (started_by is None or start_ticks(pid) <= started_by)):
                    found.append(pid)
            except (OSError, IndexError, ValueError):
                pass
    return found


def children_of(pid):
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if int((entry / "stat").read_text().rsplit(")", 1)[1].split()[1]) == pid:
                    found.append(int(entry.name))
            except (OSError, IndexError, ValueError):
                pass
    return found


def descendants_of(pid):
    found = children_of(pid)
    for child in list(found):
        found += descendants_of(child)
    return found


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes()
    except OSError:
        return b""


def environment(pid):
    entries = Path(f"/proc/{pid}/environ").read_bytes().decode(errors="replace").split("\0")
    return dict(entry.split("=", 1) for entry in entries if "=" in entry)


def wait_until(condition, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(step)
    return True


class HarnessTestCase(unittest.TestCase):
    def setUp(self):
        self.sessions = []

    def tearDown(self):
        # Whatever a test did, the Xvfb and wineserver of each of its sessions must be gone.
        for s in self.sessions:
            self.assertFalse([p for p in s.pids.values() if alive(p)], f"left running by slot {s.slot}")

    def session(self, **kwargs):
        s = wineharness.WineSession(ARGS.root, **kwargs)
        self.sessions.append(s)
        return s

    def assertNothingLeft(self, pids, prefixes, started_by):
        """The processes we started are gone, and so is every wine process of those prefixes that
        started by STARTED_BY, a moment when our sessions still held their slots."""
        self.assertTrue(wait_until(lambda: not any(alive(p) for p in pids), 15),
                        f"still running: {[p for p in pids if alive(p)]}")
        for prefix in prefixes:
            self.assertTrue(wait_until(lambda: not processes_of(prefix, started_by), 15),
                            f"wine processes of {prefix} left: {processes_of(prefix, started_by)}")

    def start_probe(self, s, title=None):
        s.start(ARGS.probe, [title] if title else [])
        return s.wait_window(title or PROBE_TITLE, timeout=30)


class WindowAndInputTests(HarnessTestCase):
    def test_window_titles_clicks_keys_and_screenshot(self):
        with self.session() as s:
            window = self.start_probe(s)
            self.assertEqual(s.window_geometry(window), PROBE_RECT)
            # Titles match exactly: not by prefix, not ignoring case.
            self.assertEqual(s.find_windows(PROBE_TITLE), [window])
            self.assertEqual(s.find_windows(PROBE_TITLE[:-1]), [])
            self.assertEqual(s.find_windows(PROBE_TITLE.lower()), [])
            with self.assertRaises(wineharness.WineTimeout):
                s.wait_window(PROBE_TITLE[:-1], timeout=1)

            with tempfile.TemporaryDirectory() as scratch:
                image = wineharness.load_image(s.screenshot(Path(scratch, "probe.png")))
            self.assertEqual((image.width, image.height), (1024, 768))
            x, y, w, h = PROBE_RECT
            self.assertEqual(image.pixel(x + w // 2, y + h // 2), PROBE_COLOUR)
            self.assertEqual(image.pixel(x, y), PROBE_COLOUR)
            self.assertEqual(image.pixel(x + w - 1, y + h - 1), PROBE_COLOUR)
            self.assertNotEqual(image.pixel(x - 1, y), PROBE_COLOUR)
            self.assertNotEqual(image.pixel(x + w, y + h - 1), PROBE_COLOUR)

            # Points far apart, so that no two clicks can make a double-click.
            for point in ((20, 20), (300, 40), (160, 220)):
                s.click(*point, window=window)
            s.key("Escape")
            self.assertEqual(s.wait_exit(timeout=30), 13)

    def test_double_click_exits_77_on_a_screen_of_another_size(self):
        with self.session(screen="800x600x24") as s, tempfile.TemporaryDirectory() as scratch:
            window = self.start_probe(s)
            image = wineharness.load_image(s.screenshot(Path(scratch, "small.png")))
            self.assertEqual((image.width, image.height), (800, 600))
            s.double_click(100, 100, window=window)
            self.assertEqual(s.wait_exit(timeout=30), 77)

    def test_wait_window_reports_program_that_exits_first(self):
        with self.session() as s:
            s.start(ARGS.console, ["3"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with self.assertRaisesRegex(wineharness.HarnessError, "exited with 3"):
                s.wait_window(PROBE_TITLE, timeout=30)


class TimeLimitTests(HarnessTestCase):
    def test_program_that_does_not_exit_is_killed_at_the_limit(self):
        with self.session() as s:
            self.start_probe(s)
            program = s.proc
            started = time.monotonic()
            with self.assertRaisesRegex(wineharness.WineTimeout, "still running after 2 s"):
                s.wait_exit(timeout=2)
            self.assertLess(time.monotonic() - started, 10)
            self.assertIsNotNone(program.poll())
            pids, prefix, started_by = list(s.pids.values()), s.prefix, now_in_ticks()
        self.assertNothingLeft(pids + [program.pid], [prefix], started_by)

    def test_run_command_kills_and_reports_at_the_limit(self):
        started = time.monotonic()
        result = subprocess.run([sys.executable, ARGS.harness, "run", "--root", ARGS.root, "--timeout", "6", "--",
                                 ARGS.probe], capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 124, result.stderr)
        self.assertIn("still running after 6", result.stderr)
        self.assertLess(time.monotonic() - started, 40)


class IsolationAndCleanupTests(HarnessTestCase):
    def test_two_sessions_at_once_are_separate(self):
        with self.session() as a, self.session() as b:
            self.assertNotEqual(a.display, b.display)
            self.assertNotEqual(a.prefix, b.prefix)
            self.assertNotEqual(a.pids["wineserver"], b.pids["wineserver"])
            self.start_probe(a, "Probe A")
            self.start_probe(b, "Probe B")
            self.assertEqual(a.find_windows("Probe B"), [])
            self.assertEqual(b.find_windows("Probe A"), [])
            pids = list(a.pids.values()) + list(b.pids.values()) + [a.proc.pid, b.proc.pid]
            prefixes = [a.prefix, b.prefix]
            self.assertTrue(processes_of(a.prefix))  # the leak check below can see wine processes
            started_by = now_in_ticks()
        self.assertNothingLeft(pids, prefixes, started_by)

    def test_killed_owner_leaves_nothing_behind(self):
        # No cleanup code runs in a SIGKILLed owner. CTest 3.25 on TIMEOUT kills the whole process
        # tree (owner, Xvfb, wineserver, program); the services wine started have left that tree.
        for kill_tree in (False, True):
            with self.subTest(kill_tree=kill_tree):
                owner = subprocess.Popen([sys.executable, "-c", f"""
import sys, time
sys.path.insert(0, {str(Path(ARGS.harness).parent)!r})
import wineharness
s = wineharness.WineSession({ARGS.root!r}).__enter__()
s.start({ARGS.probe!r})
s.wait_window({PROBE_TITLE!r}, 30)
print(s.pids["Xvfb"], s.pids["wineserver"], s.proc.pid, s.prefix, flush=True)
time.sleep(300)
"""], stdout=subprocess.PIPE, text=True)
                victims = []
                try:
                    line = owner.stdout.readline().split()
                    self.assertEqual(len(line), 4, "the owner did not get its window up")
                    pids, prefix = [int(p) for p in line[:3]], line[3]
                    self.assertTrue(all(alive(p) for p in pids))
                    self.assertGreater(len(processes_of(prefix)), len(pids))  # services.exe and the like
                    if kill_tree:
                        victims = descendants_of(owner.pid)
                        self.assertLessEqual(set(pids), set(victims))
                finally:
                    started_by = now_in_ticks()
                    for pid in [owner.pid] + victims:
                        with contextlib.suppress(ProcessLookupError):
                            os.kill(pid, signal.SIGKILL)
                    owner.wait()
                    owner.stdout.close()
                self.assertNothingLeft(pids, [prefix], started_by)

    def test_run_command_cleans_up_on_sigterm(self):
        cli = subprocess.Popen([sys.executable, ARGS.harness, "run", "--root", ARGS.root, "--", ARGS.probe],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            # Once the program runs, so do the Xvfb and wineserver started before it.
            def program_started():
                return any(b"probe_window" in command_line(p).lower() for p in children_of(cli.pid))
            self.assertTrue(wait_until(program_started, 60), "the program never started")
            time.sleep(1)
            started = children_of(cli.pid)  # Xvfb, wineserver, the program
            prefix = next(environment(p)["WINEPREFIX"] for p in started if "WINEPREFIX" in environment(p))
            started_by = now_in_ticks()
            cli.send_signal(signal.SIGTERM)
            _, err = cli.communicate(timeout=60)
        finally:
            cli.kill()
            cli.wait()
        self.assertEqual(cli.returncode, 128 + signal.SIGTERM, err)
        self.assertIn("stopped by signal", err)
        self.assertGreaterEqual(len(started), 3)
        self.assertNothingLeft(started, [prefix], started_by)


class CommandLineTests(HarnessTestCase):
    def run_cli(self, program, *args, root=None, cwd=None):
        return subprocess.run([sys.executable, ARGS.harness, "run", "--root", root or ARGS.root, "--", program,
                               *args], capture_output=True, text=True, timeout=120, cwd=cwd)

    def test_exit_status_arguments_and_output_pass_through(self):
        # The last case names its root relative to the working directory, as a user's shell would.
        root = Path(ARGS.root).resolve()
        console = str(Path(ARGS.console).resolve())
        for code, relative in (("0", False), ("42", False), ("5", True)):
            with self.subTest(code=code, relative_root=relative):
                result = (self.run_cli(console, code, "two words", "x", root=root.name, cwd=root.parent)
                          if relative else self.run_cli(console, code, "two words", "x"))
                self.assertEqual(result.returncode, int(code), result.stderr)
                self.assertEqual(result.stdout.splitlines(), [f"arg1={code}", "arg2=two words", "arg3=x"])
                self.assertIn(f"exit_code: exiting with {code}", result.stderr)

    def test_missing_program_is_a_failure(self):
        result = self.run_cli("/nonexistent/none.exe")
        self.assertNotIn(result.returncode, (0, 124, 125), result.stderr)  # wine's failure, not ours
        self.assertIn("none.exe", result.stderr)  # wine's own message reaches the caller
        self.assertNotIn("wineharness:", result.stderr)


class PrefixTests(HarnessTestCase):
    def test_paths_temp_dir_and_registry_in_the_session_prefix(self):
        with self.session() as s:
            temp = s.windows_temp_dir()
            self.assertTrue(temp.is_dir(), temp)
            self.assertEqual(temp, s.linux_path(s.run_wine(["cmd", "/c", "echo %TEMP%"]).stdout.strip()))
            # Wine keeps the case a file was created with; the mapping finds it whatever case is asked.
            marker = temp / "Harness-Marker.TXT"
            for old in temp.iterdir():  # slots are reused: a failed run may have left one in any case
                if old.name.lower() == marker.name.lower():
                    old.unlink()
            s.run_wine(["cmd", "/c", r"echo marker> %TEMP%\Harness-Marker.TXT"])
            self.assertEqual(s.linux_path(s.windows_path(temp) + r"\harness-marker.txt"), marker)
            self.assertEqual(marker.read_text().strip(), "marker")
            marker.unlink()

            self.assertEqual(s.windows_path(s.prefix / "drive_c" / "windows"), "C:\\windows")
            self.assertEqual(s.linux_path("c:\\WINDOWS\\System32"), s.prefix / "drive_c/windows/system32")
            self.assertEqual(s.windows_path("/usr/share"), "Z:\\usr\\share")
            self.assertEqual(s.linux_path("Z:\\usr\\share"), Path("/usr/share"))

            key = r"HKCU\Software\Lumafolio\HarnessTest"
            s.run_wine(["reg", "add", key, "/v", "Path", "/d", r"C:\films", "/f"])
            self.assertIn(r"C:\films", s.run_wine(["reg", "query", key, "/v", "Path"]).stdout)
            s.run_wine(["reg", "delete", key, "/f"])

    def test_fresh_session_starts_from_the_template(self):
        marker = "drive_c/harness-fresh-marker.txt"
        slots = [p for p in Path(ARGS.root).glob("slot-*") if p.is_dir() and p.suffix != ".partial"]
        for slot in slots:
            (slot / marker).write_text("left by an earlier run")
        try:
            with self.session(fresh=True) as s:
                if s.prefix not in slots:
                    self.skipTest("every existing slot was busy: this one is new anyway")
                self.assertFalse((s.prefix / marker).exists())
                self.assertTrue((s.prefix / "user.reg").exists())
                self.assertEqual(s.run_wine(["cmd", "/c", "echo ok"]).stdout.strip(), "ok")
        finally:
            for slot in slots:
                (slot / marker).unlink(missing_ok=True)

    def test_fonts_and_renderer_are_set_up(self):
        with self.session() as s:
            fonts = s.prefix / "drive_c/windows/Fonts"
            self.assertTrue(any(fonts.glob("*.ttf")), "wine's own fonts missing")
            replacements = s.run_wine(["reg", "query", r"HKCU\Software\Wine\Fonts\Replacements"]).stdout
            for face, twin in (("Arial", "Liberation Sans"), ("Times New Roman", "Liberation Serif"),
                               ("Courier New", "Liberation Mono")):
                self.assertRegex(replacements, rf"{face}\s+REG_SZ\s+{twin}")
            self.assertRegex(s.run_wine(["reg", "query", r"HKCU\Software\Wine\Direct3D"]).stdout,
                             r"renderer\s+REG_SZ\s+gdi")


def main():
    global ARGS, wineharness
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="the harness root (prefixes, locks)")
    parser.add_argument("--probe", required=True, help="probe_window.exe")
    parser.add_argument("--console", required=True, help="exit_code.exe")
    parser.add_argument("--harness", default=str(Path(__file__).resolve().parents[2] / "scripts/wineharness.py"))
    ARGS, rest = parser.parse_known_args()
    sys.path.insert(0, str(Path(ARGS.harness).parent))
    import wineharness as module
    wineharness = module
    wineharness.install_signal_handlers()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
