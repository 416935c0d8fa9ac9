#!/usr/bin/env python3
"""Run Windows programs under wine64 for the tests, each run in its own prefix, display and server.

Command line (CMake's CMAKE_CROSSCOMPILING_EMULATOR, so CTest runs every Windows test through it):

    python3 scripts/wineharness.py run --root BUILD/wine [--screen 1024x768x24] [--timeout 600] -- PROGRAM [ARGS...]
    python3 scripts/wineharness.py prepare --root BUILD/wine     # make the template prefix ahead of time

`run` passes PROGRAM's stdout, stderr and exit status through. When the time limit expires it kills
the program, says so on stderr and exits with 124; on SIGTERM/SIGINT/SIGHUP it cleans up and exits
with 128 + signal number; 125 means the harness itself failed.

Python, for end-to-end tests of whole programs (install_signal_handlers() makes SIGTERM/SIGINT
unwind `with` blocks, so that they clean up):

    with WineSession(root, screen="1024x768x24", fresh=False, audio=None, audio_format="raw") as s:
        s.start(exe, args, cwd=None, env=None)          # -> Popen; the session's program
        s.start_another(exe, args)                      # -> Popen; one more beside it
        window = s.wait_window("Title", timeout=30)     # exact name, mapped; -> X window id
        s.key("Escape"); s.click(x, y, window=window); s.double_click(x, y)  # keys: the active window
        s.screenshot(png); load_image(png).pixel(x, y)  # -> (r, g, b)
        code = s.wait_exit(timeout=30)                  # WineTimeout (program killed) when late
        s.run_wine(["reg", "add", ...])                 # -> CompletedProcess, output captured
        s.prefix, s.display, s.env, s.linux_path("C:\\x"), s.windows_path(path), s.windows_temp_dir()
        s.active_window()                                # -> X window id of the focused window, or None
        s.wait_active("Title", timeout=30)              # until the window named so is the active one
        s.audio_captures()                               # -> [Path]: what was played, see below

Layout under ROOT: `template/` is a prefix made once (wineboot -i, fonts with the metrics of the
usual Windows faces, GDI Direct3D so that video in child windows is not black); `slot-N/` are
copies of it. A run takes the first slot whose `slot-N.lock` it can flock without waiting and holds
it to the end, so parallel runs never share a prefix, a wineserver or an X display. Slots are
reused: what a run leaves in its prefix (files, registry) is there for the next run of that slot,
unless that run asks for `fresh=True`.

Each display runs a window manager (openbox), as every desktop a wine user has does: it decides
which window is active and stacks it, it takes the keys, and windows close at once (without one,
wine waits 2 s per window for a withdrawal nobody confirms).

Every wine process gets WINEPREFIX, DISPLAY and TMPDIR from the session: wine finds its server
through TMPDIR, so a program given another TMPDIR would start a second server on the same prefix.
Every process a run starts is stopped by it, and by a guard process if the run is killed.

A session given `audio=PATH` keeps what its programs play instead of sending it to a sound card:
its wine processes get a HOME of the slot's own (`home-N/` under ROOT) whose `.asoundrc` makes
ALSA's default device a file writer in front of the null device, and PULSE_SERVER pointing
nowhere, so that wine's PulseAudio driver gives way to its ALSA driver. Every opening of the sound
device writes one file, PATH first, then PATH.0001, PATH.0002... (`audio_captures()` lists them in
that order): the samples exactly as the program sent them ("raw"), or the same behind a WAV header
("wav"), at the pace wine feeds them (a few times real time, since the null device never waits);
where that feed runs late (an underrun, on a busy machine) wine fills the moment with silence. The
prefix does not depend on HOME once made (its user folders link to the HOME of its making).
"""
import argparse
import contextlib
import fcntl
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
# The real server binary, not the /usr/lib/wine/wineserver script, so that the pid we hold is the server's.
WINESERVER = "/usr/lib/wine/wineserver64"
DEFAULT_SCREEN = "1024x768x24"
MAX_SLOTS = 8
FONT_REPLACEMENTS = {"Arial": "Liberation Sans", "Times New Roman": "Liberation Serif",
                     "Courier New": "Liberation Mono"}
TIMEOUT_EXIT = 124
DEVNULL = subprocess.DEVNULL


class HarnessError(RuntimeError):
    pass


class WineTimeout(HarnessError, TimeoutError):
    pass


class Interrupted(BaseException):
    """Raised in the main thread when a termination signal arrives, so that `with` blocks clean up."""

    def __init__(self, signum):
        super().__init__(f"signal {signum}")
        self.signum = signum


_cleanups_running = 0


def _on_signal(signum, _frame):
    if _cleanups_running == 0:  # never interrupt a cleanup half way: that is what leaks processes
        raise Interrupted(signum)


@contextlib.contextmanager
def _no_interrupts():
    global _cleanups_running
    _cleanups_running += 1
    try:
        yield
    finally:
        _cleanups_running -= 1


def install_signal_handlers():
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, _on_signal)


def _wait(proc, timeout):
    """Waits for a child and reaps it; kills it if it is still there after `timeout` seconds."""
    try:
        return proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        return proc.wait()


def _lock_owner(path):
    """The pid holding a POSIX write lock on `path` (that is how wineserver marks itself), or None."""
    try:
        with open(path, "rb") as f:
            # struct flock on x86-64 Linux: l_type, l_whence, l_start, l_len, l_pid, padding.
            query = struct.pack("hhqqixxxx", fcntl.F_WRLCK, os.SEEK_SET, 0, 0, 0)
            l_type, _, _, _, pid = struct.unpack("hhqqixxxx", fcntl.fcntl(f, fcntl.F_GETLK, query))
    except OSError:
        return None
    return None if l_type == fcntl.F_UNLCK else pid


class _Guard:
    """A watchdog that stops every process of a prefix if we die without doing it ourselves.

    On TIMEOUT, CTest 3.25 SIGKILLs the test's whole process tree: no handler runs, our wineserver
    and Xvfb die with us, and the wine processes that had left the tree (services.exe, explorer.exe)
    would run for ever. So the guard leaves the tree at once (it forks and its first process exits)
    and watches a pipe: EOF before "done" means we died. It keeps the slot's lock open meanwhile,
    so that no new run takes the prefix before the guard has cleaned it."""

    def __init__(self, env, lock):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "guard"], stdin=read_end,
                                     stdout=subprocess.PIPE, stderr=DEVNULL, env=env, start_new_session=True,
                                     pass_fds=(lock.fileno(),))
        os.close(read_end)
        self.pipe = os.fdopen(write_end, "w", buffering=1)
        _wait(self.proc, 10)

    def watch(self, name, pid):
        self.pipe.write(f"{name} {pid}\n")

    def release(self, clean=True):
        """Ends the watch; unless CLEAN, the guard cleans up as if we had died. Returns once it has."""
        if clean:
            self.pipe.write("done\n")
        self.pipe.close()
        select.select([self.proc.stdout], [], [], 60)  # its stdout closes when it exits
        self.proc.stdout.close()


def _alive(pid, name=""):
    """True while PID runs (with NAME in its command line); a zombie nobody reaps counts as ended."""
    try:
        running = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"
        return running and name in Path(f"/proc/{pid}/cmdline").read_text(errors="replace")
    except (OSError, IndexError):
        return False


def wine_processes(prefix):
    """Running processes of PREFIX other than this one: wine hands WINEPREFIX down to all it starts."""
    marker = f"WINEPREFIX={prefix}\0".encode()
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit() and int(entry.name) != os.getpid():
            with contextlib.suppress(OSError):
                if marker in (entry / "environ").read_bytes() and _alive(int(entry.name)):
                    found.append(int(entry.name))
    return found


def _kill(pids, sig):
    for pid in pids:
        with contextlib.suppress(ProcessLookupError):
            os.kill(pid, sig)


def _guard_main():
    if os.fork() > 0:
        os._exit(0)  # out of the process tree that CTest kills
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGHUP, signal.SIG_IGN)
    watched = []
    for line in sys.stdin:
        name, _, pid = line.strip().partition(" ")
        if name == "done":
            return 0
        watched.append((name, int(pid)))
    # Our owner died. If its wineserver still runs, `wineserver -k` stops it with every wine
    # process of the prefix; if it was killed too, its clients are still there: kill them by hand.
    prefix = os.environ["WINEPREFIX"]
    with contextlib.suppress(subprocess.TimeoutExpired):
        subprocess.run([WINESERVER, "-k"], stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL, timeout=20)
    # A client may be starting while we look: kill until a look finds none (or give up after 10 s).
    deadline = time.monotonic() + 10
    while (left := wine_processes(prefix)) and time.monotonic() < deadline:
        _kill(left, signal.SIGKILL)
        time.sleep(0.05)
    watched = [pid for name, pid in watched if _alive(pid, name)]  # not pids reused since
    for sig in (signal.SIGTERM, signal.SIGKILL):  # Xvfb removes its lock files on SIGTERM
        _kill([pid for pid in watched if _alive(pid)], sig)
        deadline = time.monotonic() + 3
        while any(_alive(pid) for pid in watched) and time.monotonic() < deadline:
            time.sleep(0.05)
    return 1


def _server_dir(env):
    """Where the wineserver of env's prefix keeps its lock and socket: a directory named in
    WINEPREFIX/wineserver (relative to TMPDIR), then one per prefix device and inode."""
    prefix = Path(env["WINEPREFIX"])
    try:
        name, st = (prefix / "wineserver").read_text().strip(), prefix.stat()
    except OSError:
        return None
    return Path(env["TMPDIR"], name, f"server-{st.st_dev:x}-{st.st_ino:x}")


class _Server:
    """A wineserver that we start and stop ourselves, so that no server outlives its run."""

    def __init__(self, env, guard, persistent, timeout=30):
        self.env = env
        server_dir = _server_dir(env)
        if server_dir and _lock_owner(server_dir / "lock"):
            # A server left behind by a run that could not clean up: it would make ours exit at once.
            subprocess.run([WINESERVER, "-k"], env=env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL, timeout=20)
        args = [WINESERVER, "-f"] + (["-p"] if persistent else [])
        self.proc = subprocess.Popen(args, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL, env=env)
        guard.watch("wineserver", self.proc.pid)
        deadline = time.monotonic() + timeout
        while True:  # ready once it holds its lock and has made its socket
            if self.proc.poll() is not None:
                raise HarnessError(f"wineserver for {env['WINEPREFIX']} exited at once with {self.proc.returncode}")
            server_dir = _server_dir(env)
            if server_dir and _lock_owner(server_dir / "lock") == self.proc.pid and (server_dir / "socket").exists():
                return
            if time.monotonic() > deadline:
                raise HarnessError(f"wineserver for {env['WINEPREFIX']} not ready after {timeout} s")
            time.sleep(0.02)

    def stop(self, kill_clients=True):
        try:
            if kill_clients and self.proc.poll() is None:
                subprocess.run([WINESERVER, "-k"], env=self.env, stdin=DEVNULL, stdout=DEVNULL,
                               stderr=DEVNULL, timeout=20)
        finally:
            _wait(self.proc, 20)


def _wine(env, args, timeout, **kwargs):
    """Runs a wine helper command (wineboot, reg, cmd) to completion with all fds away from our caller."""
    kwargs.setdefault("stdout", DEVNULL)
    kwargs.setdefault("stderr", DEVNULL)
    return subprocess.run([WINE] + list(args), env=env, stdin=DEVNULL, timeout=timeout,
                          start_new_session=True, **kwargs)


def _base_env(prefix, display=None):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", TMPDIR=os.environ.get("TMPDIR", "/tmp"))
    env.setdefault("WINEDLLOVERRIDES", "winemenubuilder.exe=d")  # no desktop entries in $HOME
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    return env


def _flock(path, blocking, timeout=600):
    f = open(path, "a")
    deadline = time.monotonic() + timeout
    while True:
        try:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return f
        except BlockingIOError:
            if not blocking or time.monotonic() > deadline:
                f.close()
                return None
            time.sleep(0.2)


def ensure_template(root, timeout=600):
    """Creates ROOT/template once, under a lock, and returns its path."""
    root = Path(root).resolve()  # wine refuses a relative WINEPREFIX
    root.mkdir(parents=True, exist_ok=True)
    template, ready = root / "template", root / "template.ready"
    if ready.exists():
        return template
    lock = _flock(root / "template.lock", blocking=True, timeout=timeout)
    if lock is None:
        raise HarnessError(f"{root}/template.lock still held after {timeout} s")
    with lock:
        if ready.exists():
            return template
        shutil.rmtree(template, ignore_errors=True)
        template.mkdir()
        env = _base_env(template)
        guard = _Guard(env, lock)
        server = None
        try:
            server = _Server(env, guard, persistent=False)
            _wine(env, ["wineboot", "-i"], timeout, check=True)
            fonts = template / "drive_c/windows/Fonts"
            for font in Path("/usr/share/wine/fonts").iterdir():
                shutil.copy2(font, fonts)
            for face, replacement in FONT_REPLACEMENTS.items():
                _wine(env, ["reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", face,
                            "/d", replacement, "/f"], 60, check=True)
            _wine(env, ["reg", "add", r"HKCU\Software\Wine\Direct3D", "/v", "renderer", "/d", "gdi", "/f"],
                  60, check=True)
            # The registry reaches user.reg/system.reg only when the server exits of its own accord.
            subprocess.run([WINESERVER, "-w"], env=env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL,
                           timeout=60)
            server.stop(kill_clients=False)
        except BaseException:
            with _no_interrupts():
                guard.release(clean=False)  # the guard stops the server and all of wine
                if server is not None:
                    _wait(server.proc, 20)
                shutil.rmtree(template, ignore_errors=True)
            raise
        guard.release()
        ready.touch()
    return template


def to_linux(prefix, windows_path):
    """Maps C:\\users\\... to its Linux path through PREFIX/dosdevices, matching existing names case-blind."""
    m = re.match(r"^([A-Za-z]):[\\/]*(.*)$", windows_path)
    if not m:
        raise ValueError(f"not an absolute Windows path: {windows_path}")
    path = (Path(prefix) / "dosdevices" / f"{m.group(1).lower()}:").resolve()
    for part in filter(None, re.split(r"[\\/]+", m.group(2))):
        if not (path / part).exists() and path.is_dir():
            part = next((p.name for p in path.iterdir() if p.name.lower() == part.lower()), part)
        path = path / part
    return path


def to_windows(prefix, linux_path):
    """The Windows path a wine program sees for a Linux path: C:\\ inside the prefix, Z:\\ elsewhere."""
    path, drive_c = Path(linux_path).resolve(), (Path(prefix) / "drive_c").resolve()
    if path == drive_c or drive_c in path.parents:
        return "C:\\" + "\\".join(path.relative_to(drive_c).parts)
    return "Z:" + str(path).replace("/", "\\")


class Image:
    """An RGB picture read through ImageMagick's PPM output: `pixel(x, y)` -> (r, g, b)."""

    def __init__(self, path):
        # /usr/bin/convert by its full path: a wrapper of the same name may come first in PATH.
        ppm = subprocess.run(["/usr/bin/convert", str(path), "-depth", "8", "ppm:-"], check=True,
                             capture_output=True, timeout=60).stdout
        fields = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
        if not fields or fields.group(3) != b"255":
            raise HarnessError(f"{path}: unexpected PPM header")
        self.width, self.height = int(fields.group(1)), int(fields.group(2))
        self.data = ppm[fields.end():]

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"({x}, {y}) outside {self.width}x{self.height}")
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])


def load_image(path):
    return Image(path)


class WineSession:
    """One slot: its prefix, an Xvfb display, a wineserver and (after `start`) one program."""

    def __init__(self, root, screen=DEFAULT_SCREEN, fresh=False, start_timeout=600, audio=None,
                 audio_format="raw"):
        # Absolute: wine refuses a relative WINEPREFIX.
        self.root, self.screen, self.fresh, self.start_timeout = Path(root).resolve(), screen, fresh, start_timeout
        if audio_format not in ("raw", "wav"):
            raise ValueError(f"audio_format must be raw or wav, not {audio_format!r}")
        self.audio, self.audio_format = (Path(audio).resolve() if audio else None), audio_format
        self.proc = None
        self.others = []
        self.window = None
        self.slot = self.prefix = self.display = self.env = None
        self.pids = {}
        self._lock = self._guard = self._xvfb = self._wm = self._server = None

    def __enter__(self):
        try:
            self._open()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _open(self):
        deadline = time.monotonic() + self.start_timeout
        template = ensure_template(self.root, self.start_timeout)
        while self._lock is None:
            for n in range(MAX_SLOTS):
                self._lock = _flock(self.root / f"slot-{n}.lock", blocking=False)
                if self._lock:
                    self.slot = n
                    break
            else:
                if time.monotonic() > deadline:
                    raise HarnessError(f"all {MAX_SLOTS} slots under {self.root} busy for {self.start_timeout} s")
                time.sleep(0.25)
        self.prefix = self.root / f"slot-{self.slot}"
        if self.fresh:
            shutil.rmtree(self.prefix, ignore_errors=True)
        if not self.prefix.exists():
            partial = self.root / f"slot-{self.slot}.partial"
            shutil.rmtree(partial, ignore_errors=True)
            subprocess.run(["cp", "-a", str(template), str(partial)], check=True, timeout=600)
            partial.rename(self.prefix)
        self._guard = _Guard(_base_env(self.prefix), self._lock)
        # Xvfb before the wineserver: a server started without its display makes every later
        # CreateWindow fail. -displayfd lets Xvfb pick a free display number without races.
        read_end, write_end = os.pipe()
        with open(self.root / f"slot-{self.slot}.xvfb.log", "wb") as log:
            self._xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen,
                                           "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                                          stdin=DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        self.pids["Xvfb"] = self._xvfb.pid
        self._guard.watch("Xvfb", self._xvfb.pid)
        with os.fdopen(read_end, "rb") as f:
            number = b""
            while not number.endswith(b"\n"):
                if not select.select([f], [], [], max(0.0, deadline - time.monotonic()))[0]:
                    raise HarnessError("Xvfb did not report a display in time")
                chunk = os.read(f.fileno(), 16)
                if not chunk:
                    raise HarnessError(f"Xvfb failed: see {self.root}/slot-{self.slot}.xvfb.log")
                number += chunk
        self.display = f":{int(number)}"
        self.env = _base_env(self.prefix, self.display)
        self._start_window_manager(deadline)
        if self.audio is not None:  # for wine alone: the window manager keeps the usual HOME
            self._capture_audio()
        self._server = _Server(self.env, self._guard, persistent=True)
        self.pids["wineserver"] = self._server.proc.pid
        # wineboot starts services.exe, explorer.exe...: in a session of their own and with all
        # fds on /dev/null, so that none of them holds the caller's (CTest's) output pipe.
        _wine(self.env, ["wineboot"], max(1.0, deadline - time.monotonic()))

    def _start_window_manager(self, deadline):
        """Starts openbox on the display and waits until it manages it (it names itself on the root)."""
        with open(self.root / f"slot-{self.slot}.openbox.log", "wb") as log:
            self._wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdin=DEVNULL,
                                        stdout=log, stderr=log)
        self.pids["openbox"] = self._wm.pid
        self._guard.watch("openbox", self._wm.pid)
        while True:
            probe = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                   stdin=DEVNULL, capture_output=True, text=True, timeout=10)
            if "window id" in probe.stdout:
                return
            if self._wm.poll() is not None:
                raise HarnessError(f"openbox failed: see {self.root}/slot-{self.slot}.openbox.log")
            if time.monotonic() > deadline:
                raise HarnessError("openbox did not take the display in time")
            time.sleep(0.05)

    def _capture_audio(self):
        home = self.root / f"home-{self.slot}"  # kept from run to run: caches stay warm
        home.mkdir(exist_ok=True)
        self.audio.parent.mkdir(parents=True, exist_ok=True)
        for old in self.audio_captures():  # else the first opening would write PATH.0001
            old.unlink()
        # Without "truncate false" every opening of the device would overwrite the one before:
        # a piece of music started again would leave only its last start.
        name = str(self.audio).replace("\\", "\\\\").replace('"', '\\"')
        (home / ".asoundrc").write_text(f'pcm.!default {{ type file; slave.pcm "null"; file "{name}"; '
                                        f'format "{self.audio_format}"; truncate false }}\n')
        self.env.update(HOME=str(home), PULSE_SERVER="/nonexistent")
        self.env.pop("XDG_CONFIG_HOME", None)  # ALSA reads an asoundrc there too

    def audio_captures(self):
        """The files the session's sound went to, one for each opening of the sound device, in
        the order they were opened; [] without `audio`."""
        if self.audio is None:
            return []
        name = self.audio.name
        numbered = [p for p in self.audio.parent.iterdir()
                    if p.name.startswith(name) and re.fullmatch(r"\.\d{4}", p.name[len(name):])]
        return ([self.audio] if self.audio.exists() else []) + sorted(numbered)

    def close(self):
        """Stops the program, the wineserver (with every wine process) and Xvfb; safe to call twice."""
        with _no_interrupts():
            errors = []
            for step in (self._stop_program, self._stop_server, self._stop_wm, self._stop_xvfb):
                try:  # every step, even after one failed: a skipped one leaks processes
                    step()
                except Exception as e:
                    errors.append(e)
            self._release(clean=not errors)
            if errors:
                raise HarnessError(f"cleanup of slot {self.slot} failed: {errors}")

    def _stop_program(self):
        for proc in [self.proc] + self.others:
            if proc is not None and proc.poll() is None:
                proc.kill()
                _wait(proc, 10)

    def _stop_server(self):
        server, self._server = self._server, None
        if server is not None:
            server.stop()

    def _stop_wm(self):
        wm, self._wm = self._wm, None
        if wm is not None:
            wm.terminate()
            _wait(wm, 10)

    def _stop_xvfb(self):
        xvfb, self._xvfb = self._xvfb, None
        if xvfb is not None:
            xvfb.terminate()
            _wait(xvfb, 10)

    def _release(self, clean):
        guard, self._guard = self._guard, None
        lock, self._lock = self._lock, None
        try:
            if guard is not None:
                guard.release(clean)
        finally:
            if lock is not None:
                lock.close()

    # Programs

    def _child_env(self, env):
        merged = dict(self.env)
        merged.update(env or {})
        for name in ("WINEPREFIX", "DISPLAY", "TMPDIR") + (("HOME", "PULSE_SERVER") if self.audio else ()):
            merged[name] = self.env[name]
        return merged

    def start(self, program, args=(), cwd=None, env=None, stdout=None, stderr=None):
        """Starts PROGRAM (a Linux path to an .exe, or a name wine finds) with ARGS; returns the Popen."""
        if self.proc is not None and self.proc.poll() is None:
            raise HarnessError("a program is already running in this session")
        self.proc = subprocess.Popen([WINE, str(program)] + [str(a) for a in args], cwd=cwd,
                                     env=self._child_env(env), stdin=DEVNULL, stdout=stdout, stderr=stderr)
        return self.proc

    def start_another(self, program, args=()):
        """Starts one more program beside the one `start` started (two players at once, say);
        returns its Popen. It is stopped with the session."""
        proc = subprocess.Popen([WINE, str(program)] + [str(a) for a in args], env=self._child_env(None),
                                stdin=DEVNULL)
        self.others.append(proc)
        return proc

    def wait_exit(self, timeout):
        """The program's exit status; kills it and raises WineTimeout if it runs longer than TIMEOUT."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise WineTimeout(f"{self.proc.args[1]} still running after {timeout} s: killed") from None

    def run_wine(self, args, timeout=60, check=True, env=None):
        """Runs a wine command (e.g. ["reg", "add", ...]) in this prefix; returns the CompletedProcess."""
        return subprocess.run([WINE] + [str(a) for a in args], env=self._child_env(env), stdin=DEVNULL,
                              capture_output=True, text=True, errors="replace", timeout=timeout, check=check)

    # Paths

    def windows_path(self, linux_path):
        return to_windows(self.prefix, linux_path)

    def linux_path(self, windows_path):
        return to_linux(self.prefix, windows_path)

    def windows_temp_dir(self):
        """%TEMP% of the wine user as a Linux path (wine 8: C:\\users\\<user>\\Temp), read from user.reg."""
        text = (self.prefix / "user.reg").read_text(errors="replace")
        section = re.search(r"^\[Environment\][^\n]*\n(.*?)(?:\n\n|\Z)", text, re.M | re.S)
        value = section and re.search(r'^"TEMP"="(.*)"$', section.group(1), re.M)
        if not value:
            raise HarnessError(f"no TEMP in {self.prefix}/user.reg")
        return self.linux_path(value.group(1).replace("\\\\", "\\"))

    # X display, managed by openbox: keys go to the active window, as a user's keys do.

    def xdotool(self, *args, check=True, timeout=10):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, stdin=DEVNULL,
                              capture_output=True, text=True, timeout=timeout, check=check)

    def find_windows(self, title):
        """Ids of the mapped X windows named exactly TITLE."""
        pattern = "^" + re.sub(r"([.\[\]{}()\\*+?^$|])", r"\\\1", title) + "$"  # POSIX ERE, which xdotool uses
        found = self.xdotool("search", "--onlyvisible", "--name", pattern, check=False)
        ids = [int(w) for w in found.stdout.split()]
        return [w for w in ids if self.xdotool("getwindowname", w, check=False).stdout.rstrip("\n") == title]

    def wait_window(self, title, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            ids = self.find_windows(title)
            if ids:
                self.window = ids[0]
                return self.window
            if self.proc is not None and self.proc.poll() is not None:
                raise HarnessError(f"program exited with {self.proc.returncode} before showing {title!r}")
            if time.monotonic() > deadline:
                raise WineTimeout(f"no window {title!r} after {timeout} s")
            time.sleep(0.05)

    def wait_active(self, title, timeout=30):
        """Waits until the active window is one named exactly TITLE (the window manager activates a
        new window a moment after it appears, and a user's keys go nowhere before); returns its id."""
        deadline = time.monotonic() + timeout
        while True:
            active = self.active_window()
            if active is not None and active in self.find_windows(title):
                return active
            if self.proc is not None and self.proc.poll() is not None:
                raise HarnessError(f"program exited with {self.proc.returncode} before {title!r} was active")
            if time.monotonic() > deadline:
                raise WineTimeout(f"{title!r} not the active window after {timeout} s")
            time.sleep(0.05)

    def window_geometry(self, window=None):
        """(x, y, width, height) of WINDOW (default: the last one waited for) on the screen."""
        if (window or self.window) is None:
            raise HarnessError("no window: call wait_window first or pass window=")
        out = self.xdotool("getwindowgeometry", "--shell", window or self.window).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def _point(self, x, y, window):
        if window is None:
            return x, y
        wx, wy, _, _ = self.window_geometry(window)
        return wx + x, wy + y

    def key(self, *keys, delay_ms=50):
        """Types xdotool key names (e.g. "Escape", "alt+F4") into the active window."""
        self.xdotool("key", "--delay", delay_ms, *keys)

    def active_window(self):
        """The X window id of the window that has the keyboard focus, where typed keys go, or None.
        (Not the window manager's _NET_ACTIVE_WINDOW: wine takes the focus a moment after that.)"""
        found = self.xdotool("getwindowfocus", check=False)
        return int(found.stdout) if found.returncode == 0 and found.stdout.strip() else None

    def move_pointer(self, x, y, timeout=10):
        """Moves the pointer to screen (x, y) and waits until it is there. Not `mousemove --sync`:
        that waits for the pointer to move, forever when it already stands at (x, y)."""
        self.xdotool("mousemove", x, y)
        deadline = time.monotonic() + timeout
        while self.xdotool("getmouselocation", "--shell").stdout.split()[:2] != [f"X={x}", f"Y={y}"]:
            if time.monotonic() > deadline:
                raise WineTimeout(f"pointer did not reach {x},{y} in {timeout} s")
            time.sleep(0.02)

    def click(self, x, y, button=1, window=None):
        """Clicks at screen (x, y), or at (x, y) inside WINDOW when one is given."""
        x, y = self._point(x, y, window)
        self.move_pointer(x, y)
        self.xdotool("click", button)

    def double_click(self, x, y, button=1, window=None):
        x, y = self._point(x, y, window)
        self.move_pointer(x, y)
        self.xdotool("click", "--repeat", 2, "--delay", 80, button)

    def screenshot(self, path):
        """Saves the whole screen (the root window) as PNG and returns the path."""
        subprocess.run(["import", "-window", "root", str(path)], env=self.env, stdin=DEVNULL, check=True,
                       capture_output=True, timeout=60)
        return path


def run(root, command, screen=DEFAULT_SCREEN, timeout=600):
    """The `run` command: PROGRAM's exit status, or 124 when it ran out of time."""
    started = time.monotonic()
    with WineSession(root, screen=screen, start_timeout=timeout) as s:
        s.proc = subprocess.Popen([WINE] + command, env=s.env)  # stdin, stdout, stderr: ours
        try:
            code = s.proc.wait(max(1.0, timeout - (time.monotonic() - started)))
        except subprocess.TimeoutExpired:
            print(f"wineharness: {command[0]} still running after {timeout:g} s: killed", file=sys.stderr)
            return TIMEOUT_EXIT
    return code if code >= 0 else 128 - code


def main(argv):
    if argv[:1] == ["guard"]:
        return _guard_main()
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="action", required=True)
    run_parser = sub.add_parser("run", help="run PROGRAM under wine64 in a free slot")
    run_parser.add_argument("--root", required=True, help="directory for the prefixes and locks")
    run_parser.add_argument("--screen", default=DEFAULT_SCREEN, help="Xvfb screen, WxHxDEPTH")
    run_parser.add_argument("--timeout", type=float, default=600, help="seconds before the program is killed")
    run_parser.add_argument("command", nargs=argparse.REMAINDER, help="-- PROGRAM [ARGS...]")
    prepare_parser = sub.add_parser("prepare", help="create the template prefix now")
    prepare_parser.add_argument("--root", required=True)
    args = parser.parse_args(argv)
    command = getattr(args, "command", [])
    command = command[1:] if command[:1] == ["--"] else command
    if args.action == "run" and not command:
        parser.error("run: no PROGRAM given")
    install_signal_handlers()
    try:
        if args.action == "prepare":
            ensure_template(args.root)
            return 0
        return run(args.root, command, args.screen, args.timeout)
    except Interrupted as e:
        print(f"wineharness: stopped by signal {e.signum}", file=sys.stderr)
        return 128 + e.signum
    except (HarnessError, OSError, subprocess.SubprocessError) as e:
        print(f"wineharness: {e}", file=sys.stderr)
        return 125


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
